// The damaged variants: sendable (full size), rejected by the validator at their line and
// by the base tuner with their code.
#include "FirmwareTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace firmware {
namespace {

// What each variant must produce, stated here independently of the library's table.
struct Expected {
    Damage damage;
    const char* fileName;
    std::size_t faultLine;
    std::uint8_t tunerCode;
};
constexpr Expected kExpected[] = {
    {Damage::BadChecksum, "damaged_bad_checksum.hex", 2050, 5},
    {Damage::MissingSection, "damaged_missing_section.hex", 4100, 2},
    {Damage::ShortSection, "damaged_short_section.hex", 8196, 4},
    {Damage::WrongIntegrity, "damaged_wrong_integrity.hex", 8198, 5},
    {Damage::ForeignIdentification, "damaged_foreign_identification.hex", 1, 9},
};

class DamagedImages : public ::testing::TestWithParam<Expected> {};

std::string VariantName(const ::testing::TestParamInfo<Expected>& info) {
    const std::string name = info.param.fileName;
    return name.substr(0, name.find('.'));
}

TEST_P(DamagedImages, FullSizeAndWrittenByTheBuild) {
    const std::string image = BuildDamagedImage(GetParam().damage);
    EXPECT_EQ(image.size(), kImageSize);
    EXPECT_NE(image, BuildImage(DamageBase()));
    const auto file = test::ReadFile(test::FirmwareDir() + "/damaged/" + GetParam().fileName);
    ASSERT_TRUE(file.has_value()) << "missing " << GetParam().fileName;
    EXPECT_TRUE(*file == image);
}

TEST_P(DamagedImages, ValidatorRejectsAtTheDamagedLine) {
    const ValidationResult r = ValidateImage(BuildDamagedImage(GetParam().damage));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, GetParam().faultLine) << r.message;
    EXPECT_FALSE(r.message.empty());
}

TEST_P(DamagedImages, BaseTunerReportsTheCode) {
    const CatalogueEntry& base = DamageBase();
    const TunerCheckResult r = CheckForTuner(BuildDamagedImage(GetParam().damage), base.productLine, base.modelCode,
                                             base.hardwareRevision);
    EXPECT_EQ(r.code, GetParam().tunerCode);
    EXPECT_EQ(r.build, 0) << "no version values for a rejected image";
}

TEST_P(DamagedImages, LibraryTableAgrees) {
    // Other tests (the simulator's) take lines, codes and names from the library's table.
    const auto variants = DamagedVariants();
    const auto it = std::find_if(variants.begin(), variants.end(),
                                 [](const DamagedVariant& v) { return v.damage == GetParam().damage; });
    ASSERT_NE(it, variants.end());
    EXPECT_STREQ(it->fileName, GetParam().fileName);
    EXPECT_EQ(it->faultLine, GetParam().faultLine);
    EXPECT_EQ(it->tunerCode, GetParam().tunerCode);
    EXPECT_EQ(variants.size(), std::size(kExpected));
}

INSTANTIATE_TEST_SUITE_P(Variants, DamagedImages, ::testing::ValuesIn(kExpected), VariantName);

TEST(DamagedImageDetails, ShorterVariantsArePaddedWithNulAfterTheirText) {
    const std::size_t missingSectionText = kImageSize - (17 + 4096 * 45 + 13);
    const std::size_t shortSectionText = kImageSize - 45;
    for (auto [damage, textLength] : {std::pair{Damage::MissingSection, missingSectionText},
                                      std::pair{Damage::ShortSection, shortSectionText}}) {
        const std::string image = BuildDamagedImage(damage);
        ASSERT_EQ(image.size(), kImageSize);
        EXPECT_EQ(image.find('\0'), textLength);
        EXPECT_EQ(image.substr(textLength - 35, 11), "\r\n:0A0000FF");
        EXPECT_TRUE(std::all_of(image.begin() + static_cast<std::ptrdiff_t>(textLength), image.end(),
                                [](char c) { return c == '\0'; }));
    }
}

TEST(DamagedImageDetails, EachVariantDiffersOnlyWhereItSays) {
    const std::string good = BuildImage(DamageBase());
    const auto goodLines = test::SplitCrLf(good);

    const std::string badChecksum = BuildDamagedImage(Damage::BadChecksum);
    const auto checksumLines = test::SplitCrLf(badChecksum);
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < kLineCount; ++i) {
        if (checksumLines[i] != goodLines[i]) differing.push_back(i + 1);
    }
    EXPECT_EQ(differing, std::vector<std::size_t>{kBadChecksumLine});
    EXPECT_EQ(checksumLines[kBadChecksumLine - 1].substr(0, 41), goodLines[kBadChecksumLine - 1].substr(0, 41))
        << "only the checksum changes";

    const std::string wrongIntegrity = BuildDamagedImage(Damage::WrongIntegrity);
    const auto integrityLines = test::SplitCrLf(wrongIntegrity);
    EXPECT_TRUE(std::equal(goodLines.begin(), goodLines.end() - 1, integrityLines.begin()));
    EXPECT_NE(integrityLines.back().substr(9, 8), goodLines.back().substr(9, 8));
    EXPECT_EQ(integrityLines.back().substr(17, 12), goodLines.back().substr(17, 12));

    const std::string foreign = BuildDamagedImage(Damage::ForeignIdentification);
    const auto foreignLines = test::SplitCrLf(foreign);
    EXPECT_EQ(foreignLines[0].substr(0, 17), ":040000EF02013701");
    EXPECT_TRUE(std::equal(goodLines.begin() + 1, goodLines.end(), foreignLines.begin() + 1));
}

}  // namespace
}  // namespace firmware
