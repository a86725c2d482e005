#include "FirmwareTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace firmware {
namespace {

TEST(Catalogue, KeysIdsAndIdentificationAgree) {
    const auto catalogue = Catalogue();
    ASSERT_EQ(catalogue.size(), 13u);
    std::set<std::string> keys;
    std::set<int> ids;
    for (const CatalogueEntry& e : catalogue) {
        SCOPED_TRACE(e.key);
        keys.insert(e.key);
        ids.insert(e.resourceId);
        EXPECT_EQ(e.key, ImageKey(e.productLine, e.modelCode, e.hardwareRevision));
        EXPECT_EQ(e.productLine, 0x01);
        EXPECT_EQ(e.versionBytes[3], 0x00);
        EXPECT_EQ(FindCatalogueEntry(e.key), &e);
        EXPECT_EQ(FindCatalogueEntry(e.productLine, e.modelCode, e.hardwareRevision), &e);
    }
    EXPECT_EQ(keys.size(), 13u);
    EXPECT_EQ(ids, (std::set<int>{135, 136, 137, 138, 139, 141, 142, 144, 145, 147, 148, 149, 150}));
}

TEST(Catalogue, TextsFollowFromTheVersionBytes) {
    for (const CatalogueEntry& e : Catalogue()) {
        SCOPED_TRACE(e.key);
        const unsigned build = 256u * e.versionBytes[5] + e.versionBytes[4];
        char release[64], version[64];
        std::snprintf(release, sizeof release, "Release %d.%d.%d Build %u", e.versionBytes[0], e.versionBytes[1],
                      e.versionBytes[2], build);
        std::snprintf(version, sizeof version, "Ver. %d.%d.%d.%u", e.versionBytes[0], e.versionBytes[1],
                      e.versionBytes[2], build);
        EXPECT_STREQ(e.releaseText, release);
        EXPECT_STREQ(e.versionText, version);
        EXPECT_EQ(e.Build(), build);
    }
}

TEST(Catalogue, RowsAsTabled) {
    const CatalogueEntry* s2 = FindCatalogueEntry(0x01, 0x34, 0x04);
    ASSERT_NE(s2, nullptr);
    EXPECT_STREQ(s2->key, "FW_013404");
    EXPECT_EQ(s2->resourceId, 141);
    EXPECT_STREQ(s2->releaseText, "Release 1.5.0 Build 22720");
    EXPECT_STREQ(s2->model, "Talvex S2");

    const CatalogueEntry* first = FindCatalogueEntry("FW_012401");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->resourceId, 142);
    EXPECT_STREQ(first->versionText, "Ver. 1.3.0.44650");
    EXPECT_STREQ(first->model, "Nubrik S/CI (Rev 1)");

    const CatalogueEntry* cable = FindCatalogueEntry("FW_013602");
    ASSERT_NE(cable, nullptr);
    EXPECT_EQ(cable->resourceId, 139);
    EXPECT_STREQ(cable->releaseText, "Release 2.4.0 Build 51440");
}

TEST(Catalogue, LookupIsExactAndCaseSensitive) {
    EXPECT_EQ(FindCatalogueEntry("fw_013401"), nullptr);
    EXPECT_EQ(FindCatalogueEntry("FW_01340"), nullptr);
    EXPECT_EQ(FindCatalogueEntry("FW_0134010"), nullptr);
    EXPECT_EQ(FindCatalogueEntry(""), nullptr);
    EXPECT_EQ(FindCatalogueEntry(0x01, 0x34, 0x03), nullptr);
    EXPECT_EQ(FindCatalogueEntry(0x0A, 0x24, 0x01), nullptr);
    EXPECT_EQ(FindCatalogueEntry(0x01, 0x37, 0x01), nullptr);
}

TEST(Catalogue, KeyFormatting) {
    EXPECT_EQ(ImageKey(0x01, 0x34, 0x02), "FW_013402");
    EXPECT_EQ(ImageKey(0xAB, 0xCD, 0xEF), "FW_ABCDEF");
    EXPECT_EQ(ImageKey(0x00, 0x00, 0x00), "FW_000000");
    EXPECT_EQ(ImageFileName(*FindCatalogueEntry("FW_012401")), "FW_012401.hex");
}

TEST(Crc, StandardCheckValueAndContinuation) {
    const std::string text = "123456789";
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
    const std::uint32_t head = Crc32(std::span(bytes).first(4));
    EXPECT_EQ(Crc32(std::span(bytes).subspan(4), head), 0xCBF43926u);
    EXPECT_EQ(Crc32({}), 0u);
}

}  // namespace
}  // namespace firmware
