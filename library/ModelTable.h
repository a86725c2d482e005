// Model identification from the first three bytes of the firmware version record
// (plain C++).
#pragma once

#include <cstdint>

namespace ombrel {

struct ModelInfo {
    const char* deviceString;  // static text
    bool ciCapable;
};

// The row of the model table for these bytes. Product lines the table does not know
// give "Error" without a Common Interface.
ModelInfo IdentifyModel(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision);

inline constexpr const char* kUnidentified = "Error";

}  // namespace ombrel
