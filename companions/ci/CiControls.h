// Control identifiers of the Common Interface companion's panel, for anything that
// drives or inspects it from outside (tests, screenshots).
#pragma once

namespace companion::ci {

inline constexpr int kSessionTextId = 200;  // the chosen tuner's session
inline constexpr int kModuleTextId = 201;   // the module in the slot
inline constexpr int kEventTextId = 202;    // the module's last pending event
inline constexpr int kEnterMenuId = 210;
inline constexpr int kCloseMenuId = 211;
inline constexpr int kTitleId = 220;        // MMI screen: title, or an enquiry's prompt
inline constexpr int kSubtitleId = 221;
inline constexpr int kEntriesId = 222;      // list box: a menu's or list's entries
inline constexpr int kAnswerId = 223;       // edit: an enquiry's answer
inline constexpr int kBottomId = 224;
inline constexpr int kOkId = 225;           // choose the entry / send the answer
inline constexpr int kBackId = 226;         // back / cancel

}  // namespace companion::ci
