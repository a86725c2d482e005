// The damaged variants: sendable (full size), rejected by the validator at their line and
// by the base tuner with their code.
#include "FirmwareTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace firmware {
namespace {

class DamagedImages : public ::testing::TestWithParam<std::size_t> {
protected:
    const DamagedVariant& Variant() const { return DamagedVariants()[GetParam()]; }
};

std::string VariantName(const ::testing::TestParamInfo<std::size_t>& info) {
    std::string name = DamagedVariants()[info.param].fileName;
    name = name.substr(0, name.find('.'));
    return name;
}

TEST_P(DamagedImages, FullSizeAndWrittenByTheBuild) {
    const std::string image = BuildDamagedImage(Variant().damage);
    EXPECT_EQ(image.size(), kImageSize);
    EXPECT_NE(image, BuildImage(DamageBase()));
    const auto file = test::ReadFile(test::FirmwareDir() + "/damaged/" + Variant().fileName);
    ASSERT_TRUE(file.has_value()) << "missing " << Variant().fileName;
    EXPECT_TRUE(*file == image);
}

TEST_P(DamagedImages, ValidatorRejectsAtTheDamagedLine) {
    const ValidationResult r = ValidateImage(BuildDamagedImage(Variant().damage));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, Variant().faultLine) << r.message;
    EXPECT_FALSE(r.message.empty());
}

TEST_P(DamagedImages, BaseTunerReportsTheCode) {
    const CatalogueEntry& base = DamageBase();
    const TunerCheckResult r = CheckForTuner(BuildDamagedImage(Variant().damage), base.productLine, base.modelCode,
                                             base.hardwareRevision);
    EXPECT_EQ(r.code, Variant().tunerCode);
    EXPECT_EQ(r.build, 0) << "no version values for a rejected image";
}

INSTANTIATE_TEST_SUITE_P(Variants, DamagedImages, ::testing::Range<std::size_t>(0, DamagedVariants().size()), VariantName);

TEST(DamagedImageDetails, CodesAndLinesAsDocumented) {
    auto find = [](Damage d) {
        return *std::find_if(DamagedVariants().begin(), DamagedVariants().end(),
                             [d](const DamagedVariant& v) { return v.damage == d; });
    };
    EXPECT_EQ(DamagedVariants().size(), 5u);
    EXPECT_EQ(find(Damage::BadChecksum).tunerCode, 5);
    EXPECT_EQ(find(Damage::MissingSection).tunerCode, 2);
    EXPECT_EQ(find(Damage::ShortSection).tunerCode, 4);
    EXPECT_EQ(find(Damage::WrongIntegrity).tunerCode, 5);
    EXPECT_EQ(find(Damage::ForeignIdentification).tunerCode, 9);
    EXPECT_EQ(find(Damage::MissingSection).faultLine, 4100u);
    EXPECT_EQ(find(Damage::ShortSection).faultLine, 8196u);
    EXPECT_EQ(find(Damage::WrongIntegrity).faultLine, 8198u);
    EXPECT_EQ(find(Damage::ForeignIdentification).faultLine, 1u);
}

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
