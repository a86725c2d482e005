#include "ImageProperties.h"

#include "FirmwareImage.h"
#include "FuzzSupport.h"
#include "HexRecord.h"
#include "ImageCatalogue.h"

#include <array>
#include <cstdint>

namespace fuzz {
namespace {

using Identification = std::array<std::uint8_t, 3>;

// The tuner the image's first record claims, or a catalogue tuner when it claims none.
Identification ClaimedTuner(std::string_view image) {
    firmware::detail::LineReader reader(image);
    const auto first = firmware::detail::DecodeRecord(reader.Next().text, false);
    const auto& r = first.record;
    if (first.error == firmware::detail::DecodeError::None && r.type == firmware::detail::kTypeIdentification && r.count == 4)
        return {r.data[1], r.data[2], r.data[3]};
    return {0x01, 0x34, 0x04};
}

firmware::TunerCheckResult Check(std::string_view image, const Identification& tuner) {
    const auto result = firmware::CheckForTuner(image, tuner[0], tuner[1], tuner[2]);
    switch (result.code) {
    case firmware::kTunerOk:
    case firmware::kTunerBadSectionCount:
    case firmware::kTunerBadRecordCount:
    case firmware::kTunerBadCrc:
    case firmware::kTunerBadHardware: break;
    default: FUZZ_REQUIRE(false, "the tuner answers only codes 0, 2, 4, 5 and 9");
    }
    return result;
}

void CheckAccepted(std::string_view image, const Identification& tuner) {
    const firmware::CatalogueEntry* entry = firmware::FindCatalogueEntry(tuner[0], tuner[1], tuner[2]);
    FUZZ_REQUIRE(entry != nullptr, "an accepted image is for a carried tuner");
    FUZZ_REQUIRE(image.size() == firmware::kImageSize, "an accepted image has exactly the image size");
    const auto own = Check(image, tuner);
    FUZZ_REQUIRE(own.code == firmware::kTunerOk, "its tuner accepts it");
    FUZZ_REQUIRE(own.major == entry->versionBytes[0] && own.minor == entry->versionBytes[1] &&
                     own.patch == entry->versionBytes[2] && own.build == entry->Build(),
                 "with the catalogue's version");
    // One other carried tuner, a different one for each image (every check reads the
    // whole image, so all twelve would slow the search down twelvefold).
    const auto catalogue = firmware::Catalogue();
    const firmware::CatalogueEntry& other = catalogue[(static_cast<std::size_t>(entry - catalogue.data()) + 1 +
                                                      static_cast<unsigned char>(image[firmware::kImageSize / 2]) % (catalogue.size() - 1)) %
                                                     catalogue.size()];
    FUZZ_REQUIRE(Check(image, {other.productLine, other.modelCode, other.hardwareRevision}).code == firmware::kTunerBadHardware,
                 "another carried tuner refuses it with 9");
    const auto offered = ReadOfferableImage(image.data(), image.size());
    FUZZ_REQUIRE(offered && FormatReleaseText(*offered) == entry->releaseText && FormatVersionText(*offered) == entry->versionText,
                 "the update program shows the catalogue's release");
}

void CheckTunerAccepted(std::string_view image, const Identification& tuner, const firmware::TunerCheckResult& result) {
    Identification other = tuner;
    other[2] ^= 0x01;
    FUZZ_REQUIRE(Check(image, other).code == firmware::kTunerBadHardware, "a tuner of another revision refuses it with 9");
    const auto read = ReadImageVersion(image.data(), image.size());
    FUZZ_REQUIRE(read && read->release[0] == result.major && read->release[1] == result.minor &&
                     read->release[2] == result.patch && read->build == result.build,
                 "the update program reads the version the tuner takes");
}

}  // namespace

void CheckImage(std::string_view image) {
    const firmware::ValidationResult validation = firmware::ValidateImage(image);
    if (validation.ok) {
        FUZZ_REQUIRE(validation.line == 0, "no line for an accepted image");
    } else {
        FUZZ_REQUIRE(validation.line >= 1 && validation.line <= firmware::kLineCount + 1, "a fault names a line of the image");
        FUZZ_REQUIRE(!validation.message.empty(), "and says what is wrong");
    }
    const firmware::ValidationResult head = firmware::ValidateImageHead(image.substr(0, firmware::kImageHeadSize), image.size());
    FUZZ_REQUIRE(head.ok == validation.ok && head.line == validation.line && head.message == validation.message,
                 "a file's head is judged as the whole file");

    const Identification tuner = ClaimedTuner(image);
    const firmware::TunerCheckResult result = Check(image, tuner);
    if (validation.ok) CheckAccepted(image, tuner);
    if (result.code == firmware::kTunerOk) CheckTunerAccepted(image, tuner, result);
}

}  // namespace fuzz
