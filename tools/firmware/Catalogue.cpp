#include "FirmwareImage.h"

#include <array>
#include <cstdio>

namespace firmware {
namespace {

constexpr std::array<CatalogueEntry, 13> kCatalogue = {{
    {"FW_012401", 142, 0x01, 0x24, 0x01, {0x01, 0x03, 0x00, 0x00, 0x6A, 0xAE}, "Release 1.3.0 Build 44650", "Ver. 1.3.0.44650", "Nubrik S/CI (Rev 1)"},
    {"FW_012402", 145, 0x01, 0x24, 0x02, {0x02, 0x03, 0x00, 0x00, 0x6A, 0xAE}, "Release 2.3.0 Build 44650", "Ver. 2.3.0.44650", "Nubrik S/CI (Rev 2)"},
    {"FW_012404", 150, 0x01, 0x24, 0x04, {0x01, 0x05, 0x00, 0x00, 0xC0, 0x58}, "Release 1.5.0 Build 22720", "Ver. 1.5.0.22720", "Nubrik S2"},
    {"FW_012501", 148, 0x01, 0x25, 0x01, {0x01, 0x04, 0x00, 0x00, 0xF0, 0xC8}, "Release 1.4.0 Build 51440", "Ver. 1.4.0.51440", "Nubrik T/CI"},
    {"FW_012502", 149, 0x01, 0x25, 0x02, {0x01, 0x04, 0x00, 0x00, 0xF0, 0xC8}, "Release 1.4.0 Build 51440", "Ver. 1.4.0.51440", "Nubrik T/CI (Rev 2)"},
    {"FW_012601", 144, 0x01, 0x26, 0x01, {0x01, 0x04, 0x00, 0x00, 0x3E, 0xCB}, "Release 1.4.0 Build 52030", "Ver. 1.4.0.52030", "Nubrik C/CI (Rev 1)"},
    {"FW_012602", 147, 0x01, 0x26, 0x02, {0x02, 0x04, 0x00, 0x00, 0xF0, 0xC8}, "Release 2.4.0 Build 51440", "Ver. 2.4.0.51440", "Nubrik C/CI (Rev 2)"},
    {"FW_013401", 135, 0x01, 0x34, 0x01, {0x01, 0x03, 0x00, 0x00, 0x6A, 0xAE}, "Release 1.3.0 Build 44650", "Ver. 1.3.0.44650", "Talvex S/CI (Rev 1)"},
    {"FW_013402", 136, 0x01, 0x34, 0x02, {0x02, 0x03, 0x00, 0x00, 0x6A, 0xAE}, "Release 2.3.0 Build 44650", "Ver. 2.3.0.44650", "Talvex S/CI (Rev 2)"},
    {"FW_013404", 141, 0x01, 0x34, 0x04, {0x01, 0x05, 0x00, 0x00, 0xC0, 0x58}, "Release 1.5.0 Build 22720", "Ver. 1.5.0.22720", "Talvex S2"},
    {"FW_013501", 137, 0x01, 0x35, 0x01, {0x01, 0x04, 0x00, 0x00, 0xF0, 0xC8}, "Release 1.4.0 Build 51440", "Ver. 1.4.0.51440", "Talvex T/CI"},
    {"FW_013601", 138, 0x01, 0x36, 0x01, {0x01, 0x04, 0x00, 0x00, 0x3E, 0xCB}, "Release 1.4.0 Build 52030", "Ver. 1.4.0.52030", "Talvex C/CI (Rev 1)"},
    {"FW_013602", 139, 0x01, 0x36, 0x02, {0x02, 0x04, 0x00, 0x00, 0xF0, 0xC8}, "Release 2.4.0 Build 51440", "Ver. 2.4.0.51440", "Talvex C/CI (Rev 2)"},
}};

}  // namespace

std::span<const CatalogueEntry> Catalogue() { return kCatalogue; }

const CatalogueEntry* FindCatalogueEntry(std::string_view key) {
    for (const CatalogueEntry& entry : kCatalogue) {
        if (key == entry.key) return &entry;
    }
    return nullptr;
}

const CatalogueEntry* FindCatalogueEntry(std::uint8_t productLine, std::uint8_t modelCode,
                                         std::uint8_t hardwareRevision) {
    return FindCatalogueEntry(ImageKey(productLine, modelCode, hardwareRevision));
}

std::string ImageKey(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision) {
    char key[16];
    std::snprintf(key, sizeof key, "FW_%02X%02X%02X", productLine, modelCode, hardwareRevision);
    return key;
}

std::string ImageFileName(const CatalogueEntry& entry) { return std::string(entry.key) + ".hex"; }

}  // namespace firmware
