// The menus of the simulated conditional-access module: a fixed tree of MMI screens
// (menus, lists, enquiries), each sent as an EN 50221 object, and how the host's
// answers move through it (plain C++).
//
//   Main menu ── Module information (list)
//             ├─ Subscriptions (list, long enough for the 0x82 length form)
//             ├─ Parental control: PIN enquiry (blind) ── ratings menu ── "rating set"
//             │                                       └─ "wrong PIN"
//             └─ Language: code enquiry (visible) ── "language set"
//
// The main menu's object takes the 0x81 length form, the others the short form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "CaModuleState.h"

namespace tunersim::ca {

enum Screen : uint32_t {
    kClosed = 0,
    kMainMenu,
    kModuleInfo,
    kSubscriptions,
    kParentalPin,
    kParentalMenu,
    kWrongPin,
    kRatingSet,
    kLanguage,
    kLanguageSet,
};

inline constexpr std::string_view kParentalPinCode = "1234";

// MMI object tags (24-bit).
inline constexpr uint32_t kTagCloseMmi = 0x9F8800;
inline constexpr uint32_t kTagText = 0x9F8803;
inline constexpr uint32_t kTagEnquiry = 0x9F8807;
inline constexpr uint32_t kTagAnswer = 0x9F8808;
inline constexpr uint32_t kTagMenu = 0x9F8809;
inline constexpr uint32_t kTagMenuAnswer = 0x9F880B;
inline constexpr uint32_t kTagList = 0x9F880C;

// EN 50221 length field as the module writes it (short form, 0x81 or 0x82) and reads it.
void AppendLength(std::vector<uint8_t>& out, std::size_t length);
struct ReadField {
    std::size_t length;
    std::size_t fieldSize;
};
std::optional<ReadField> ReadLength(const uint8_t* field, std::size_t available);

// A short name of the screen for people ("main menu"); empty for kClosed.
std::string_view ScreenName(uint32_t screen);

// The open screen as an object: tag, length field, body. Empty when no screen is open.
std::vector<uint8_t> ScreenObject(const layout::CaModuleState& module);

void EnterMenu(layout::CaModuleState& module);
void CloseMmi(layout::CaModuleState& module);
// menu_answ: 0 goes back (closing the MMI from the main menu), 1..n opens entry n.
void MenuAnswer(layout::CaModuleState& module, uint8_t choice);
// answ on an enquiry: identifier 0 cancels, any other answers with the text.
void EnquiryAnswer(layout::CaModuleState& module, uint8_t answerId, std::string_view text);

}  // namespace tunersim::ca
