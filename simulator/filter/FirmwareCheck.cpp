// The receiving tuner's image check, done by the firmware format library.
#include "FirmwareCheck.h"

#include "FirmwareImage.h"

namespace tunersim {

namespace {

update::ImageVerdict Check(std::string_view image, uint8_t productLine, uint8_t modelCode,
                           uint8_t hardwareRevision) {
    const firmware::TunerCheckResult result =
        firmware::CheckForTuner(image, productLine, modelCode, hardwareRevision);
    return {result.code, result.major, result.minor, result.patch, result.build};
}

}  // namespace

property::ImageCheck TunerImageCheck() { return &Check; }

}  // namespace tunersim
