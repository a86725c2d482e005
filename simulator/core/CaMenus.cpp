#include "CaMenus.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>

namespace tunersim::ca {
namespace {

enum class Kind { Menu, List, Enquiry };

struct ScreenText {
    const char* name;
    Kind kind;
    Screen back;  // where 0 / cancel leads
    const char* title;
    const char* subtitle;
    const char* bottom;
};

// Indexed by Screen; kClosed has no text.
constexpr std::array<ScreenText, 10> kScreens{{
    {"", Kind::List, kClosed, "", "", ""},
    {"main menu", Kind::Menu, kClosed, "Kestrel Conditional Access", "Main menu", "Choose an entry"},
    {"module information", Kind::List, kMainMenu, "Module information", "", "Press OK to go back"},
    {"subscriptions", Kind::List, kMainMenu, "Subscriptions", "Smart card 7781 0042 1133", "Press OK to go back"},
    {"PIN enquiry", Kind::Enquiry, kMainMenu, "Enter the parental PIN (4 digits)", "", ""},
    {"parental menu", Kind::Menu, kMainMenu, "Parental control", "Maturity rating", "Choose a rating"},
    {"wrong PIN", Kind::List, kParentalPin, "Parental control", "Wrong PIN", "Press OK to try again"},
    {"rating set", Kind::List, kParentalMenu, "Parental control", "", "Press OK to go back"},
    {"language enquiry", Kind::Enquiry, kMainMenu, "Enter a menu language (3 letters)", "", ""},
    {"language set", Kind::List, kMainMenu, "Language", "", "Press OK to go back"},
}};

constexpr std::array kMainEntries{"Module information", "Subscriptions", "Parental control", "Language"};
constexpr std::array<Screen, 4> kMainTargets{kModuleInfo, kSubscriptions, kParentalPin, kLanguage};
constexpr std::array<uint8_t, 3> kRatings{12, 16, 18};
constexpr uint8_t kPinLength = 4;
constexpr uint8_t kLanguageLength = 3;
constexpr uint8_t kBlind = 0x01;

const char* const kChannels[] = {
    "Kestrel One", "Kestrel Two", "Kestrel Cinema", "Kestrel Cinema HD", "Kestrel Sport",
    "Kestrel Sport 2", "Kestrel News", "Kestrel Kids", "Kestrel Docs", "Kestrel Music",
    "Kestrel Series", "Kestrel Classics", "Kestrel Nature", "Kestrel Travel",
};

void AppendTag(std::vector<uint8_t>& out, uint32_t tag) {
    out.push_back(static_cast<uint8_t>(tag >> 16));
    out.push_back(static_cast<uint8_t>(tag >> 8));
    out.push_back(static_cast<uint8_t>(tag));
}

void AppendObject(std::vector<uint8_t>& out, uint32_t tag, const std::vector<uint8_t>& body) {
    AppendTag(out, tag);
    AppendLength(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
}

void AppendText(std::vector<uint8_t>& out, std::string_view text) {
    AppendObject(out, kTagText, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<std::string> Items(const layout::CaModuleState& module) {
    switch (static_cast<Screen>(module.screen)) {
    case kMainMenu: return {kMainEntries.begin(), kMainEntries.end()};
    case kModuleInfo: return {"Kestrel CAM, software 2.4.1", "Serial number KS-0042-7781"};
    case kSubscriptions: {
        std::vector<std::string> items;
        int service = 101;
        for (const char* channel : kChannels)
            items.push_back("Service " + std::to_string(service++) + "  " + channel + "  until 2031-12-31");
        return items;
    }
    case kParentalMenu: {
        std::vector<std::string> items;
        for (uint8_t rating : kRatings)
            items.push_back("From " + std::to_string(rating) + " years" + (rating == module.rating ? " (set)" : ""));
        return items;
    }
    case kRatingSet: return {"Maturity rating set to " + std::to_string(module.rating) + " years."};
    case kLanguageSet: return {std::string("Menu language set to \"") + module.language + "\"."};
    default: return {};
    }
}

std::vector<uint8_t> EnquiryBody(const ScreenText& text, bool blind, uint8_t answerLength) {
    std::vector<uint8_t> body{static_cast<uint8_t>(blind ? kBlind : 0), answerLength};
    body.insert(body.end(), text.title, text.title + std::string_view(text.title).size());
    return body;
}

// menu_last and list_last: the number of entries, title, subtitle, bottom, entries.
std::vector<uint8_t> ChoiceBody(const ScreenText& text, const std::vector<std::string>& items) {
    std::vector<uint8_t> body{static_cast<uint8_t>(items.size())};
    AppendText(body, text.title);
    AppendText(body, text.subtitle);
    AppendText(body, text.bottom);
    for (const std::string& item : items) AppendText(body, item);
    return body;
}

}  // namespace

void AppendLength(std::vector<uint8_t>& out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else if (length < 0x100) {
        out.push_back(0x81);
        out.push_back(static_cast<uint8_t>(length));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(length));
    }
}

std::optional<ReadField> ReadLength(const uint8_t* field, std::size_t available) {
    if (available < 1) return std::nullopt;
    if (field[0] < 0x80) return ReadField{field[0], 1};
    const std::size_t size = static_cast<std::size_t>(field[0] & 0x7F);
    if (size < 1 || size > 2 || available < 1 + size) return std::nullopt;
    std::size_t length = 0;
    for (std::size_t i = 1; i <= size; ++i) length = length << 8 | field[i];
    return ReadField{length, 1 + size};
}

std::string_view ScreenName(uint32_t screen) {
    return screen < kScreens.size() ? kScreens[screen].name : "unknown";
}

std::vector<uint8_t> ScreenObject(const layout::CaModuleState& module) {
    std::vector<uint8_t> object;
    if (module.screen == kClosed || module.screen >= kScreens.size()) return object;
    const ScreenText& text = kScreens[module.screen];
    switch (text.kind) {
    case Kind::Enquiry: {
        const bool pin = module.screen == kParentalPin;
        AppendObject(object, kTagEnquiry, EnquiryBody(text, pin, pin ? kPinLength : kLanguageLength));
        break;
    }
    case Kind::Menu: AppendObject(object, kTagMenu, ChoiceBody(text, Items(module))); break;
    case Kind::List: AppendObject(object, kTagList, ChoiceBody(text, Items(module))); break;
    }
    return object;
}

void EnterMenu(layout::CaModuleState& module) { module.screen = kMainMenu; }

void CloseMmi(layout::CaModuleState& module) { module.screen = kClosed; }

void MenuAnswer(layout::CaModuleState& module, uint8_t choice) {
    if (module.screen == kClosed || module.screen >= kScreens.size()) return;
    const ScreenText& text = kScreens[module.screen];
    if (text.kind == Kind::Enquiry) return;  // waits for an answ
    if (choice == 0 || text.kind == Kind::List) {
        module.screen = text.back;
        return;
    }
    if (module.screen == kMainMenu && choice <= kMainTargets.size()) {
        module.screen = kMainTargets[choice - 1];
    } else if (module.screen == kParentalMenu && choice <= kRatings.size()) {
        module.rating = kRatings[choice - 1];
        module.screen = kRatingSet;
    }
    // Any other number names no entry: the menu stays.
}

void EnquiryAnswer(layout::CaModuleState& module, uint8_t answerId, std::string_view text) {
    if (module.screen == kClosed || module.screen >= kScreens.size()) return;
    if (kScreens[module.screen].kind != Kind::Enquiry) return;
    if (answerId == 0) {
        module.screen = kScreens[module.screen].back;
    } else if (module.screen == kParentalPin) {
        module.screen = text == kParentalPinCode ? kParentalMenu : kWrongPin;
    } else {
        const std::size_t n = std::min(text.size(), sizeof module.language - 1);
        std::fill(std::begin(module.language), std::end(module.language), '\0');
        std::copy_n(text.begin(), n, module.language);
        module.screen = kLanguageSet;
    }
}

}  // namespace tunersim::ca
