#include "ImageCheck.h"

#include "ExitCodes.h"
#include "FirmwareImage.h"
#include "TextOutput.h"
#include "UpdatePoll.h"

namespace ombrel_cli {
namespace {

// Bytes 1..3 of the identification record on line 1 (":040000EF" 02 <line> <model>
// <revision>), which the form check has found in place.
Identification ImageIdentification(std::string_view image) {
    const auto byte = [&](std::size_t at) {
        return static_cast<std::uint8_t>(16 * HexDigitValue(image[at]) + HexDigitValue(image[at + 1]));
    };
    return {byte(11), byte(13), byte(15)};
}

ImageVerdict Refused(int exitCode, std::string reason) { return {exitCode, std::move(reason), std::nullopt}; }

}  // namespace

std::string IdentificationText(const Identification& id) {
    const std::uint8_t bytes[] = {id.productLine, id.modelCode, id.hardwareRevision};
    return HexBytesText(bytes) + " (" + FormatImageKey(id.productLine, id.modelCode, id.hardwareRevision) + ")";
}

ImageVerdict CheckImageForTuner(std::string_view image, const Identification& tuner) {
    const firmware::ValidationResult form = firmware::ValidateImage(image, firmware::CatalogueBinding::None);
    if (!form.ok) {
        return Refused(kExitBadImageFile,
                       "not a firmware image of the tuners: line " + std::to_string(form.line) + ": " + form.message);
    }
    const firmware::TunerCheckResult check =
        firmware::CheckForTuner(image, tuner.productLine, tuner.modelCode, tuner.hardwareRevision);
    if (check.code == firmware::kTunerBadHardware) {
        return Refused(kExitImageMismatch, "the image is made for hardware " +
                                               IdentificationText(ImageIdentification(image)) +
                                               ", the tuner is " + IdentificationText(tuner));
    }
    if (check.code != firmware::kTunerOk) {
        return Refused(kExitBadImageFile, "the tuner would refuse the image: " + std::string(romflux::UpdateErrorText(check.code)));
    }
    return {kExitOk, {}, ReadImageVersion(image.data(), image.size())};
}

}  // namespace ombrel_cli
