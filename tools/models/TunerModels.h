// The tuner models, found by the first three bytes of the firmware version record
// (product line, model code, hardware revision): the device string the library reports,
// what the model receives, and whether it has a Common Interface slot. Plain C++.
#pragma once

#include <cstdint>

namespace models {

// What a model receives, numbered as OmbrelApi.h numbers OMBREL_RECEPTION_...
enum class Reception : std::uint8_t { None = 0, Satellite = 1, Terrestrial = 2, Atsc = 3, Cable = 4 };

struct Model {
    const char* deviceString;  // static text, at most 50 characters
    Reception reception;
    bool commonInterface;
};

// Device strings of the tuners that are no model of the table.
inline constexpr const char* kUnidentified = "Error";             // another product line
inline constexpr const char* kUnknownModel = "Unknown Device Type";  // another model of line 1 or 10

// The row for these bytes. Product lines other than 1 and 10 give kUnidentified, other
// models of those lines kUnknownModel; both receive nothing and have no slot. The
// revision tells two models apart only where a model code stands for both.
Model Identify(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision);

// "none", "satellite", "terrestrial", "ATSC", "cable".
const char* ReceptionName(Reception reception);

}  // namespace models
