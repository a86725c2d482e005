// The tuner models and which of them carry a Common Interface slot.
//
// The companions need the slot information without asking the library for it (the
// library keeps it private), so they look the model up themselves: by the three
// identification bytes of the firmware version record, or, when that record cannot
// be read, by the model name that the library reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace companion {

struct ModelInfo {
    std::string_view name;  // the library's device string for the model
    bool ciSlot = false;
};

// Identification bytes 0..2 of the firmware version record. Product lines other than
// 1 and 10 are not tuners of the family: no result.
std::optional<ModelInfo> LookUpModel(uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision);

// By model name, as the library reports it; exact, case-sensitive match. Names that
// are no model ("Error", "Unknown Device Type", anything else): no result.
std::optional<ModelInfo> LookUpModelByName(std::string_view name);

}  // namespace companion
