// The catalogue of carried firmware images: image keys, resource ids, the About
// list's model texts, and the reading of an image's version record in place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Every carried image is exactly this long; the library sends this many bytes.
constexpr std::size_t kImageSize = 368754;

struct CatalogueEntry {
    const char* key;  // "FW_<line><model><revision>"
    int resourceId;   // "UPDATES" resource of the program
};

struct AboutRow {
    int resourceId;
    const char* modelText;  // appended to the version text, " - ..."
};

extern const std::array<CatalogueEntry, 13> kImageCatalogue;
// The rows of the About list in the order they are added.
extern const std::array<AboutRow, 13> kAboutRows;

// "FW_%02X%02X%02X".
std::string FormatImageKey(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision);

// Exact, case-sensitive lookup of the whole key; null when unknown.
const CatalogueEntry* FindCatalogueEntry(std::string_view key);

// 0-9, A-F, a-f give 0..15; any other character counts as 0.
int HexDigitValue(char c);

struct ImageVersion {
    unsigned release[3];
    unsigned build;  // byte 5 * 256 + byte 4
};

// Reads the first ":10080000" record of the image; nothing past `size` characters
// (nor past kImageSize) is read. No value when the record is missing or cut short.
std::optional<ImageVersion> ReadImageVersion(const char* image, std::size_t size);

// The version of an image that may be handed to the library, which sends exactly
// kImageSize bytes of it: nothing for a shorter image or one without a version record.
std::optional<ImageVersion> ReadOfferableImage(const char* image, std::size_t size);

std::string FormatReleaseText(const ImageVersion& version);  // "Release 1.3.0 Build 44650"
std::string FormatVersionText(const ImageVersion& version);  // "Ver. 1.3.0.44650"

// Texts of the selected tuner's display.
std::string FormatGuidText(const std::string& guidText);  // "0x" + upper case
std::string FormatRevisionText(std::uint8_t hardwareRevision);  // "0x%X"
std::string FormatFirmwareVersionText(std::uint8_t major, std::uint8_t minor, std::uint8_t patch,
                                      std::uint8_t buildHigh, std::uint8_t buildLow);  // "1.3.0, Build 44650"

// The About command's driver line. `driverVersion` is empty when the query failed;
// `tunerType` is empty when that query failed.
std::string ComposeDriverLine(bool haveSelection, const std::optional<std::string>& driverVersion,
                              const std::optional<int>& tunerType);
