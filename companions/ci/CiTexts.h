// What the Common Interface companion says: its list rows and status line, the state of
// the chosen tuner's session and of the module in its slot (plain text).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TunerView.h"

namespace companion::ci {

// Rows as the remote-control companion lists them: model, GUID, driver model; a tuner
// without a slot says so beside its driver model, before it is chosen.
std::string CiRow(const TunerInfo& tuner);
inline constexpr std::string_view kNoSlotMark = " (no CI slot)";
std::string CiStatus(const std::vector<TunerInfo>& tuners);

inline constexpr std::string_view kChooseTuner = "Choose a tuner to open its Common Interface.";
inline constexpr std::string_view kTunerNotOpened = "The tuner could not be opened.";
// By the answer of OB_CI_Open.
std::string SessionText(unsigned long openResult);

inline constexpr std::string_view kNoModule = "No module in the slot.";
inline constexpr std::string_view kModuleStarting = "Module inserted, starting up...";
struct ApplicationInfo {
    std::uint16_t manufacturer = 0;
    std::uint16_t manufacturerCode = 0;
    std::string menuString;
};
std::string ModuleReadyText(const ApplicationInfo* info);  // null: the module gave none
std::string EventText(std::uint16_t statusBit);

inline constexpr std::string_view kMenuRefused = "The module did not open its menu.";
inline constexpr std::string_view kMenuClosed = "The module's menu is closed.";
inline constexpr std::string_view kUnreadableObject = "The module sent an object that cannot be shown";

}  // namespace companion::ci
