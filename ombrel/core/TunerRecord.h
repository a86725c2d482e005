// What ombrel shows of a tuner, as read through the library. Texts are as the library
// gives them (ANSI in the system code page); the JSON output converts them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ombrel_cli {

enum class DriverModel { Wdm, Bda, Unknown };

// What a tuner receives, as the library reports it (OB_GetTunerCapabilities): which
// tuning requests it takes. Unknown when the library could not say.
enum class Reception { Satellite, Terrestrial, Atsc, Cable, Unknown };

// The eight bytes of the firmware version record, in the record's order: product
// line, model code, hardware revision, version major, minor, patch, build high, low.
using FirmwareBytes = std::array<std::uint8_t, 8>;

// One line of 'ombrel list' (and of 'ombrel watch').
struct TunerLine {
    std::optional<unsigned long> index;  // none for a tuner that has gone
    DriverModel driverModel = DriverModel::Unknown;
    std::string model;  // the library's device string
    std::string guid;   // the library's GUID text
    std::optional<unsigned> subunit;
    std::optional<FirmwareBytes> firmware;  // none when it could not be read
    Reception reception = Reception::Unknown;
    bool attached = false;
};

// Whether a tuner has a Common Interface, as the library's answer to opening its session
// tells: a slot, a slot whose session another program (or this one) holds, or none.
enum class CommonInterface { Unknown, Absent, Present, InUse };

struct CarriedImageInfo {
    std::string key;          // "FW_013404"
    std::string releaseText;  // "Release 1.5.0 Build 22720"
};

// Everything 'ombrel info' shows. Optional fields are empty when the query failed.
struct TunerDetails {
    TunerLine line;
    std::string displayName;
    std::string friendlyName;
    std::optional<std::uint32_t> guidLow;
    std::optional<std::uint32_t> guidHigh;
    std::optional<std::string> driverVersion;
    std::optional<std::array<std::uint8_t, 8>> systemInfo;
    std::optional<std::array<std::uint8_t, 4>> boardTemperature;
    CommonInterface commonInterface = CommonInterface::Unknown;
    std::optional<CarriedImageInfo> image;
    std::string imageNote;  // why there is no image, when there is none
};

}  // namespace ombrel_cli
