#include "CiTexts.h"

#include <OmbrelApi.h>

#include <cstdio>

namespace companion::ci {

std::string CiRow(const TunerInfo& tuner) {
    std::string row = RemoteRow(tuner);
    if (tuner.opened && !tuner.commonInterface) {
        row += kNoSlotMark;
    }
    return row;
}

std::string CiStatus(const std::vector<TunerInfo>& tuners) {
    if (tuners.empty()) {
        return RemoteStatus(tuners);
    }
    return RemoteStatus(tuners) + " " + std::string(kChooseTuner);
}

std::string SessionText(unsigned long openResult) {
    switch (openResult) {
    case OB_SUCCESS:
        return "Common Interface session open.";
    case OB_NOT_SUPPORTED:
        return "This tuner has no Common Interface slot.";
    case OB_IN_USE:
        return "Another program is using this tuner's Common Interface.";
    default:
        return "The Common Interface session could not be opened.";
    }
}

std::string ModuleReadyText(const ApplicationInfo* info) {
    if (info == nullptr) {
        return "Module ready.";
    }
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " (manufacturer 0x%04X, code 0x%04X).", info->manufacturer,
                  info->manufacturerCode);
    return "Module ready: " + info->menuString + numbers;
}

std::string EventText(std::uint16_t statusBit) {
    char text[48];
    std::snprintf(text, sizeof text, "The module reports event 0x%04X.", statusBit);
    return text;
}

}  // namespace companion::ci
