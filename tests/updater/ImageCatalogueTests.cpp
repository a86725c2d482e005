// The catalogue table, the reading of an image's version record in place, and the
// texts of the display and the About box. Images come from the firmware builder.
#include "AboutText.h"
#include "FirmwareImage.h"
#include "ImageCatalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(ImageCatalogueTable, HasThirteenDistinctKeysOnTheAssignedIds)
{
    std::set<std::string> keys;
    std::set<int> ids;
    for (const auto& entry : kImageCatalogue) {
        keys.insert(entry.key);
        ids.insert(entry.resourceId);
    }
    EXPECT_EQ(keys.size(), 13u);
    EXPECT_EQ(ids, (std::set<int>{135, 136, 137, 138, 139, 141, 142, 144, 145, 147, 148, 149, 150}));

    std::set<int> aboutIds;
    for (const auto& row : kAboutRows) aboutIds.insert(row.resourceId);
    EXPECT_EQ(aboutIds, ids);
}

TEST(ImageCatalogueTable, AgreesWithTheImagesThatTheBuildGenerates)
{
    // Each key must point at the resource id under which the build stores that image.
    for (const auto& image : firmware::Catalogue()) {
        const CatalogueEntry* entry = FindCatalogueEntry(image.key);
        ASSERT_NE(entry, nullptr) << image.key;
        EXPECT_EQ(entry->resourceId, image.resourceId) << image.key;
        EXPECT_EQ(FormatImageKey(image.productLine, image.modelCode, image.hardwareRevision), image.key);
    }
    for (const auto& row : kAboutRows) {
        bool found = false;
        for (const auto& image : firmware::Catalogue()) {
            if (image.resourceId == row.resourceId) {
                EXPECT_EQ(std::string(" - ") + image.model, row.modelText);
                found = true;
            }
        }
        EXPECT_TRUE(found) << row.resourceId;
    }
}

TEST(ImageCatalogueLookup, KeyIsFormedInUpperCaseAndMatchedExactly)
{
    EXPECT_EQ(FormatImageKey(0x01, 0x34, 0x02), "FW_013402");
    EXPECT_EQ(FormatImageKey(0x0A, 0xBC, 0xFF), "FW_0ABCFF");
    ASSERT_NE(FindCatalogueEntry("FW_013404"), nullptr);
    EXPECT_EQ(FindCatalogueEntry("FW_013404")->resourceId, 141);
    EXPECT_EQ(FindCatalogueEntry("FW_012401")->resourceId, 142);
    EXPECT_EQ(FindCatalogueEntry("fw_013404"), nullptr);
    EXPECT_EQ(FindCatalogueEntry("FW_01340"), nullptr);
    EXPECT_EQ(FindCatalogueEntry("FW_0134040"), nullptr);
    EXPECT_EQ(FindCatalogueEntry(FormatImageKey(0x01, 0x34, 0x03)), nullptr);  // revision 3
    EXPECT_EQ(FindCatalogueEntry(FormatImageKey(0x02, 0x34, 0x01)), nullptr);  // other line
    EXPECT_EQ(FindCatalogueEntry(FormatImageKey(0x01, 0x37, 0x01)), nullptr);  // other model
}

TEST(ImageVersionRecord, HexDigitValueCoversBothCasesAndMapsEverythingElseToZero)
{
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        int expected = 0;
        if (ch >= '0' && ch <= '9') expected = ch - '0';
        else if (ch >= 'A' && ch <= 'F') expected = ch - 'A' + 10;
        else if (ch >= 'a' && ch <= 'f') expected = ch - 'a' + 10;
        EXPECT_EQ(HexDigitValue(ch), expected) << c;
    }
}

TEST(ImageVersionRecord, ReadsEveryCarriedImageAsItsCatalogueRowSays)
{
    for (const auto& entry : firmware::Catalogue()) {
        const std::string image = firmware::BuildImage(entry);
        ASSERT_EQ(image.size(), kImageSize);
        const auto version = ReadImageVersion(image.data(), image.size());
        ASSERT_TRUE(version) << entry.key;
        EXPECT_EQ(FormatReleaseText(*version), entry.releaseText) << entry.key;
        EXPECT_EQ(FormatVersionText(*version), entry.versionText) << entry.key;
    }
}

TEST(ImageVersionRecord, OnlyTheFirstRecordCountsAndLowerCaseDigitsReadAlike)
{
    std::string image = firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013401"));
    const size_t first = image.find(":10080000");
    const size_t second = image.find(":10080000", first + 1);
    ASSERT_EQ(first, firmware::kVersionRecordOffset);
    ASSERT_NE(second, std::string::npos);
    image.replace(second + 9, 12, "090909000100");
    EXPECT_EQ(FormatReleaseText(*ReadImageVersion(image.data(), image.size())), "Release 1.3.0 Build 44650");

    image.replace(first + 9, 12, "0a0B0c00fFeE");
    const auto version = ReadImageVersion(image.data(), image.size());
    ASSERT_TRUE(version);
    EXPECT_EQ(FormatVersionText(*version), "Ver. 10.11.12.61183");  // 0xEE * 256 + 0xFF

    image.replace(first + 9, 12, "0G0300zz00g1");  // non-digits count as 0
    EXPECT_EQ(FormatVersionText(*ReadImageVersion(image.data(), image.size())), "Ver. 0.3.0.256");
}

TEST(ImageVersionRecord, NeverReadsPastTheImage)
{
    // The record's last digit must lie inside the given size.
    const std::string line = ":1008000001030000";
    std::string text = "junk" + line + "6AAE";
    EXPECT_TRUE(ReadImageVersion(text.data(), text.size()));
    EXPECT_FALSE(ReadImageVersion(text.data(), text.size() - 1));
    // A record beginning beyond the size is not seen, whatever follows in memory.
    EXPECT_FALSE(ReadImageVersion(text.data(), 8));
    EXPECT_FALSE(ReadImageVersion(nullptr, 100));

    // Only the first kImageSize characters are images; a longer buffer is cut there.
    std::string big(kImageSize, '0');
    big += line + "6AAE00000000000000000000000000000000";
    EXPECT_FALSE(ReadImageVersion(big.data(), big.size()));
}

TEST(ImageVersionRecord, AnImageWithoutTheRecordHasNoVersion)
{
    std::string image = firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013602"));
    for (size_t at = image.find(":10080000"); at != std::string::npos; at = image.find(":10080000"))
        image[at + 4] = '9';
    EXPECT_FALSE(ReadImageVersion(image.data(), image.size()));
}

TEST(ImageVersionRecord, OnlyWholeImagesWithARecordAreOffered)
{
    const std::string image = firmware::BuildImage(*firmware::FindCatalogueEntry("FW_012404"));
    ASSERT_TRUE(ReadOfferableImage(image.data(), image.size()));
    EXPECT_EQ(FormatReleaseText(*ReadOfferableImage(image.data(), image.size())), "Release 1.5.0 Build 22720");
    // The library would read past a shorter resource.
    EXPECT_FALSE(ReadOfferableImage(image.data(), image.size() - 1));
    EXPECT_TRUE(ReadImageVersion(image.data(), image.size() - 1));
    EXPECT_FALSE(ReadOfferableImage(nullptr, kImageSize));
    std::string noRecord = image;
    noRecord[firmware::kVersionRecordOffset + 5] = '9';
    for (size_t at = noRecord.find(":10080000"); at != std::string::npos; at = noRecord.find(":10080000"))
        noRecord[at + 5] = '9';
    EXPECT_FALSE(ReadOfferableImage(noRecord.data(), noRecord.size()));
}

TEST(DriverLine, ComposedForEveryOutcome)
{
    EXPECT_EQ(ComposeDriverLine(false, std::nullopt, std::nullopt), "Driver Version: Error, no tuner available");
    EXPECT_EQ(ComposeDriverLine(true, std::nullopt, 0), "Driver Version: Error getting version");
    EXPECT_EQ(ComposeDriverLine(true, std::string("TVX 4.2"), 0), "Driver Version: TVX 4.2  WDM");
    EXPECT_EQ(ComposeDriverLine(true, std::string("TVX 4.2"), 1), "Driver Version: TVX 4.2  BDA");
    EXPECT_EQ(ComposeDriverLine(true, std::string("TVX 4.2"), 7), "Driver Version: TVX 4.2");
    EXPECT_EQ(ComposeDriverLine(true, std::string("TVX 4.2"), std::nullopt), "Driver Version: TVX 4.2");
}

TEST(AboutTexts, ASpecialBuildIsAppendedToTheVersionLine)
{
    // Romflux's own resource has none (the GUI tests see the plain line).
    EXPECT_EQ(FormatAboutVersionLine(3, 0, 2182, 0, "beta"), "Version: 3.0 (2182-0), Build beta");
}

}  // namespace
