// The tuner models by the three identification bytes of the firmware version record,
// or by the model name that the library reports. Whether a model has a Common
// Interface slot is the library's to say (OB_CI_Open answers OB_NOT_SUPPORTED).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace companion {

struct ModelInfo {
    std::string_view name;  // the library's device string for the model
};

// Identification bytes 0..2 of the firmware version record. Product lines other than
// 1 and 10 are not tuners of the family: no result.
std::optional<ModelInfo> LookUpModel(uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision);

// By model name, as the library reports it; exact, case-sensitive match. Names that
// are no model ("Error", "Unknown Device Type", anything else): no result.
std::optional<ModelInfo> LookUpModelByName(std::string_view name);

}  // namespace companion
