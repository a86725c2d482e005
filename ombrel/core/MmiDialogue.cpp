#include "MmiDialogue.h"

#include <algorithm>
#include <cstdio>

namespace ombrel_cli {
namespace {

constexpr std::size_t kMaxAnswer = 255;

// EN 50221 leaves 0xFF for "length not known"; the companion's reading also has 0.
bool KnownLength(std::uint8_t length) { return length != 0 && length != 0xFF; }

std::string Line(std::string_view text) { return text.empty() ? std::string() : ModuleText(text) + "\n"; }

std::string MenuEntries(const MmiScreen& screen) {
    const int width = static_cast<int>(std::to_string(screen.entries.size()).size());
    std::string text;
    for (std::size_t i = 0; i < screen.entries.size(); ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "  %*zu. ", width, i + 1);
        text += number + ModuleText(screen.entries[i]) + "\n";
    }
    return text;
}

std::string ListEntries(const MmiScreen& screen) {
    std::string text;
    for (const std::string& entry : screen.entries) text += "    " + ModuleText(entry) + "\n";
    return text;
}

bool IsQuit(std::string_view input) { return input.empty() || input == "q" || input == "Q"; }

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<unsigned> Number(std::string_view text) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return static_cast<unsigned>(std::stoul(std::string(text)));
}

std::string Quoted(std::string_view input) { return "'" + ModuleText(input) + "'"; }

}  // namespace

std::string ModuleText(std::string_view text) {
    // A first byte below 0x20 selects a DVB character table: 0x10 with two more bytes,
    // 0x1F with one, the others alone.
    if (!text.empty() && static_cast<unsigned char>(text[0]) < 0x20) {
        const std::size_t selector = text[0] == 0x10 ? 3 : text[0] == 0x1F ? 2 : 1;
        text.remove_prefix(std::min(selector, text.size()));
    }
    std::string shown(text);
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = ' ';
    }
    return shown;
}

std::string MmiScreenText(const MmiScreen& screen) {
    std::string text = "\n";
    switch (screen.kind) {
    case MmiKind::Menu:
    case MmiKind::List:
        text += Line(screen.title) + Line(screen.subtitle);
        text += screen.kind == MmiKind::Menu ? MenuEntries(screen) : ListEntries(screen);
        text += Line(screen.bottom);
        break;
    case MmiKind::Enquiry: {
        text += Line(screen.title);
        std::string expects = screen.blind ? "hidden answer" : "answer";
        if (KnownLength(screen.answerLength)) expects += ", " + std::to_string(screen.answerLength) + " characters";
        text += "(" + expects + ")\n";
        break;
    }
    case MmiKind::Text: text += Line(screen.title); break;
    case MmiKind::Unreadable: break;
    }
    return text;
}

std::string MmiPrompt(const MmiScreen& screen) {
    switch (screen.kind) {
    case MmiKind::Menu:
        if (screen.entries.empty()) return "Choice [0 back, q close]: ";
        return "Choice [1-" + std::to_string(screen.entries.size()) + ", 0 back, q close]: ";
    case MmiKind::List:
    case MmiKind::Text: return "Choice [0 back, q close]: ";
    case MmiKind::Enquiry: return "Answer [q close]: ";
    case MmiKind::Unreadable: break;
    }
    return "";
}

std::string MmiEcho(const MmiScreen& screen, std::string_view input) {
    if (screen.kind == MmiKind::Enquiry && screen.blind && !IsQuit(input)) return "(hidden)\n";
    return ModuleText(input) + "\n";
}

std::optional<MmiReply> ReadMmiReply(const MmiScreen& screen, std::string_view input, std::string& error) {
    if (screen.kind == MmiKind::Unreadable) {
        error = "this object cannot be answered";
        return std::nullopt;
    }
    if (IsQuit(input)) return MmiReply{};
    if (screen.kind == MmiKind::Enquiry) {
        if (input.size() > kMaxAnswer) {
            error = "the answer is longer than 255 characters";
            return std::nullopt;
        }
        return MmiReply{MmiReply::Kind::Answer, 0, std::string(input)};
    }
    const std::string_view typed = Trimmed(input);
    const auto number = Number(typed);
    const std::size_t last = screen.kind == MmiKind::Menu ? screen.entries.size() : 0;
    if (number && *number <= last) return MmiReply{MmiReply::Kind::Choice, static_cast<std::uint8_t>(*number), {}};
    if (screen.kind != MmiKind::Menu) {
        error = Quoted(typed) + " is no choice here: 0 goes back, q closes the menu";
    } else if (last == 0) {
        error = Quoted(typed) + " is no choice of this menu: it has no entries; 0 goes back, q closes it";
    } else {
        error = Quoted(typed) + " is no choice of this menu: 1 to " + std::to_string(last) +
                " chooses an entry, 0 goes back, q closes it";
    }
    return std::nullopt;
}

std::string UnreadableObjectText(std::uint32_t tag, std::size_t bodyLength) {
    char text[96];
    std::snprintf(text, sizeof text, "the module sent an object that ombrel cannot show (tag 0x%06X, %zu %s)",
                  static_cast<unsigned>(tag), bodyLength, bodyLength == 1 ? "byte" : "bytes");
    return text;
}

}  // namespace ombrel_cli
