// The tuner models and what each receives.
//
// The programs beside the library need this without asking the library for it (the
// library keeps its table private), so they look the model up themselves: by the three
// identification bytes of the firmware version record, or, when that record cannot
// be read, by the model name that the library reports. The reception column follows
// the table of tuning families in OmbrelApi.h. Whether a model has a Common Interface
// slot is the library's to say (OB_CI_Open answers OB_NOT_SUPPORTED).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace companion {

// Which tuning requests a model takes: satellite ones, terrestrial ones (DVB-T, or ATSC
// through the same requests), or neither (cable and unknown models).
enum class Reception { Satellite, Terrestrial, Atsc, Cable, Unknown };

struct ModelInfo {
    std::string_view name;  // the library's device string for the model
    Reception reception = Reception::Unknown;
};

// Identification bytes 0..2 of the firmware version record. Product lines other than
// 1 and 10 are not tuners of the family: no result.
std::optional<ModelInfo> LookUpModel(uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision);

// By model name, as the library reports it; exact, case-sensitive match. Names that
// are no model ("Error", "Unknown Device Type", anything else): no result.
std::optional<ModelInfo> LookUpModelByName(std::string_view name);

// Identification bytes 0..2 of the firmware version record.
using Identification = std::array<uint8_t, 3>;

// What the model receives: from the identification when it could be read, else from the
// model name; Unknown for no model of the table.
Reception ReceptionOf(const std::optional<Identification>& identification, std::string_view modelName);

}  // namespace companion
