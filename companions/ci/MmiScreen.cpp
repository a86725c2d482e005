#include "MmiScreen.h"

#include "ci/En50221Length.h"

#include <optional>

namespace companion::ci {
namespace {

constexpr std::uint32_t kTagText = 0x9F8803;
constexpr std::uint32_t kTagEnquiry = 0x9F8807;
constexpr std::uint32_t kTagMenu = 0x9F8809;
constexpr std::uint32_t kTagList = 0x9F880C;
constexpr std::size_t kTagSize = 3;

std::string Text(std::span<const std::uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

// The text_last objects that fill a menu or list body after its entry count.
std::optional<std::vector<std::string>> Texts(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> texts;
    while (!bytes.empty()) {
        if (bytes.size() < kTagSize + 1) return std::nullopt;
        const std::uint32_t tag = static_cast<std::uint32_t>(bytes[0]) << 16 | bytes[1] << 8 | bytes[2];
        const auto field = ombrel::ci::DecodeLength(bytes.subspan(kTagSize));
        if (tag != kTagText || !field) return std::nullopt;
        const std::size_t start = kTagSize + field->fieldSize;
        if (start + field->bodyLength > bytes.size()) return std::nullopt;
        texts.push_back(Text(bytes.subspan(start, field->bodyLength)));
        bytes = bytes.subspan(start + field->bodyLength);
    }
    return texts;
}

MmiScreen Choices(MmiKind kind, std::uint32_t tag, std::span<const std::uint8_t> body) {
    MmiScreen screen;
    screen.tag = tag;
    if (body.empty()) return screen;
    const auto texts = Texts(body.subspan(1));
    if (!texts || texts->size() < 3) return screen;
    screen.kind = kind;
    screen.title = (*texts)[0];
    screen.subtitle = (*texts)[1];
    screen.bottom = (*texts)[2];
    screen.entries.assign(texts->begin() + 3, texts->end());
    return screen;
}

}  // namespace

MmiScreen ReadMmiScreen(std::uint32_t tag, std::span<const std::uint8_t> body) {
    MmiScreen screen;
    screen.tag = tag;
    switch (tag) {
    case kTagMenu: return Choices(MmiKind::Menu, tag, body);
    case kTagList: return Choices(MmiKind::List, tag, body);
    case kTagEnquiry:
        if (body.size() < 2) return screen;
        screen.kind = MmiKind::Enquiry;
        screen.blind = (body[0] & 0x01) != 0;
        screen.answerLength = body[1];
        screen.title = Text(body.subspan(2));
        return screen;
    case kTagText:
        screen.kind = MmiKind::Text;
        screen.title = Text(body);
        return screen;
    default:
        return screen;
    }
}

}  // namespace companion::ci
