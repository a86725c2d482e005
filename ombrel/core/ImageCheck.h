// The checks of an image file before it is sent to a tuner: the firmware tools' form
// check (layout, record checksums, trailer and integrity value) and then the tuner's
// own check against its identification bytes. Nothing is sent when either fails.
#pragma once

#include "ImageCatalogue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

struct Identification {
    std::uint8_t productLine = 0;
    std::uint8_t modelCode = 0;
    std::uint8_t hardwareRevision = 0;
};

struct ImageVerdict {
    int exitCode = 0;    // kExitOk, kExitBadImageFile or kExitImageMismatch
    std::string reason;  // why the image is refused
    std::optional<ImageVersion> version;  // the image's release, when it is accepted
};

ImageVerdict CheckImageForTuner(std::string_view image, const Identification& tuner);

// "01 34 04 (FW_013404)".
std::string IdentificationText(const Identification& id);

}  // namespace ombrel_cli
