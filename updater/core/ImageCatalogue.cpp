#include "ImageCatalogue.h"

#include "TunerList.h"

#include <algorithm>
#include <cstdio>

const std::array<CatalogueEntry, 13> kImageCatalogue{{
    {"FW_012401", 142},
    {"FW_012402", 145},
    {"FW_012404", 150},
    {"FW_012501", 148},
    {"FW_012502", 149},
    {"FW_012601", 144},
    {"FW_012602", 147},
    {"FW_013401", 135},
    {"FW_013402", 136},
    {"FW_013404", 141},
    {"FW_013501", 137},
    {"FW_013601", 138},
    {"FW_013602", 139},
}};

const std::array<AboutRow, 13> kAboutRows{{
    {142, " - Nubrik S/CI (Rev 1)"},
    {145, " - Nubrik S/CI (Rev 2)"},
    {150, " - Nubrik S2"},
    {144, " - Nubrik C/CI (Rev 1)"},
    {147, " - Nubrik C/CI (Rev 2)"},
    {148, " - Nubrik T/CI"},
    {149, " - Nubrik T/CI (Rev 2)"},
    {137, " - Talvex T/CI"},
    {135, " - Talvex S/CI (Rev 1)"},
    {136, " - Talvex S/CI (Rev 2)"},
    {141, " - Talvex S2"},
    {138, " - Talvex C/CI (Rev 1)"},
    {139, " - Talvex C/CI (Rev 2)"},
}};

std::string FormatImageKey(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision)
{
    char key[16];
    std::snprintf(key, sizeof(key), "FW_%02X%02X%02X", productLine, modelCode, hardwareRevision);
    return key;
}

const CatalogueEntry* FindCatalogueEntry(std::string_view key)
{
    const auto found = std::find_if(kImageCatalogue.begin(), kImageCatalogue.end(),
                                    [&](const CatalogueEntry& entry) { return key == entry.key; });
    return found == kImageCatalogue.end() ? nullptr : &*found;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

std::optional<ImageVersion> ReadImageVersion(const char* image, std::size_t size)
{
    if (!image) return std::nullopt;
    const std::string_view text(image, std::min(size, kImageSize));
    constexpr std::string_view kRecord = ":10080000";
    const std::size_t at = text.find(kRecord);
    // Characters 9 to 20 of the record hold data bytes 0 to 5.
    constexpr std::size_t kLastRead = 20;
    if (at == std::string_view::npos || text.size() - at <= kLastRead) return std::nullopt;

    unsigned bytes[6];
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t pos = at + 9 + 2 * i;
        bytes[i] = static_cast<unsigned>(16 * HexDigitValue(text[pos]) + HexDigitValue(text[pos + 1]));
    }
    return ImageVersion{{bytes[0], bytes[1], bytes[2]}, 256 * bytes[5] + bytes[4]};
}

std::optional<ImageVersion> ReadOfferableImage(const char* image, std::size_t size)
{
    if (!image || size < kImageSize) return std::nullopt;
    return ReadImageVersion(image, size);
}

std::string FormatReleaseText(const ImageVersion& v)
{
    char text[64];
    std::snprintf(text, sizeof(text), "Release %u.%u.%u Build %u", v.release[0], v.release[1], v.release[2], v.build);
    return text;
}

std::string FormatVersionText(const ImageVersion& v)
{
    char text[64];
    std::snprintf(text, sizeof(text), "Ver. %u.%u.%u.%u", v.release[0], v.release[1], v.release[2], v.build);
    return text;
}

std::string FormatGuidText(const std::string& guidText) { return "0x" + ToUpperAscii(guidText); }

std::string FormatRevisionText(std::uint8_t hardwareRevision)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", static_cast<unsigned>(hardwareRevision));
    return text;
}

std::string FormatFirmwareVersionText(std::uint8_t major, std::uint8_t minor, std::uint8_t patch,
                                      std::uint8_t buildHigh, std::uint8_t buildLow)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%u.%u.%u, Build %u", static_cast<unsigned>(major),
                  static_cast<unsigned>(minor), static_cast<unsigned>(patch), 256u * buildHigh + buildLow);
    return text;
}

std::string ComposeDriverLine(bool haveSelection, const std::optional<std::string>& driverVersion,
                              const std::optional<int>& tunerType)
{
    std::string line = "Driver Version: ";
    if (!haveSelection) return line + "Error, no tuner available";
    if (!driverVersion) return line + "Error getting version";
    line += *driverVersion;
    if (tunerType == 0) line += "  WDM";
    if (tunerType == 1) line += "  BDA";
    return line;
}
