#include "CiArguments.h"

#include "TuneArguments.h"

#include <array>

namespace ombrel_cli {
namespace {

struct ActionName {
    CiAction action;
    std::string_view name;
};
constexpr std::array<ActionName, 3> kActions{{
    {CiAction::Status, "status"},
    {CiAction::Info, "info"},
    {CiAction::Menu, "menu"},
}};

// The options of 'ci' and the actions that take each.
bool Takes(CiAction action, std::string_view option) {
    if (option == "--json") return action != CiAction::Menu;
    if (option == "--timeout") return action != CiAction::Status;
    if (option == "--answers") return action == CiAction::Menu;
    return true;
}

constexpr std::string_view kQuit = "q";

}  // namespace

std::string_view CiActionText(CiAction action) {
    for (const ActionName& entry : kActions) {
        if (entry.action == action) return entry.name;
    }
    return "?";
}

std::optional<std::vector<std::string>> ParseAnswerList(std::string_view text, std::string& error) {
    std::vector<std::string> answers;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view entry = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        if (entry.empty()) {
            error = "--answers '" + std::string(text) + "': entry " + std::to_string(answers.size() + 1) +
                    " is empty (\"q\" closes the menu)";
            return std::nullopt;
        }
        if (entry.size() > 255) {
            error = "--answers: entry " + std::to_string(answers.size() + 1) + " is longer than 255 characters";
            return std::nullopt;
        }
        if (!answers.empty() && answers.back() == kQuit) {
            error = "--answers '" + std::string(text) + "': \"q\" closes the menu, so nothing may follow it";
            return std::nullopt;
        }
        answers.emplace_back(entry);
        if (comma == std::string_view::npos) return answers;
        start = comma + 1;
    }
}

std::optional<CiArguments> ParseCiArguments(const Invocation& invocation, std::string& error) {
    CiArguments ci;
    const std::string& actionText = invocation.positionals.at(1);
    const ActionName* action = nullptr;
    for (const ActionName& entry : kActions) {
        if (entry.name == actionText) action = &entry;
    }
    if (!action) {
        error = "unknown ci action '" + actionText + "' (status, info or menu)";
        return std::nullopt;
    }
    ci.action = action->action;
    for (const auto& [name, value] : invocation.options) {
        if (!Takes(ci.action, name)) {
            error = "option " + name + " is not for 'ci " + std::string(action->name) + "'";
            return std::nullopt;
        }
    }
    ci.json = invocation.Has("--json");
    if (const std::string* timeout = invocation.Value("--timeout")) {
        const auto parsed = ParseSeconds("--timeout", *timeout, error);
        if (!parsed) return std::nullopt;
        ci.timeout = *parsed;
    }
    if (const std::string* answers = invocation.Value("--answers")) {
        ci.answers = ParseAnswerList(*answers, error);
        if (!ci.answers) return std::nullopt;
    }
    return ci;
}

}  // namespace ombrel_cli
