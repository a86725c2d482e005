// The validator against faults planted in a good image.
#include "FirmwareTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace firmware {
namespace {

// Appends the Intel HEX checksum to ":" + count, address, type and data digits.
std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (std::uint8_t b : test::RecordBytes(body + "00")) sum += b;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return body + digits;
}

class Validator : public ::testing::Test {
protected:
    static const std::string& Good() {
        static const std::string image = BuildImage(*FindCatalogueEntry("FW_012602"));
        return image;
    }
    static std::size_t Start(std::size_t line) {
        static const std::vector<std::size_t> starts = test::LineStarts(Good());
        return starts[line - 1];
    }
};

TEST_F(Validator, FindsADigitChangedOnAnyLine) {
    ASSERT_EQ(test::LineStarts(Good()).size(), kLineCount);
    std::vector<std::size_t> lines = {1, 2, 3, 130, 131, 132, 4098, 4099, 4100, 4101, 4229, 8196, 8197, 8198};
    std::mt19937 random(20261208);
    for (int i = 0; i < 40; ++i) lines.push_back(std::uniform_int_distribution<std::size_t>(1, kLineCount)(random));
    for (std::size_t line : lines) {
        const std::size_t length = (line == kLineCount ? kImageSize : Start(line + 1)) - Start(line) - 2;
        for (std::size_t column : {std::size_t{1}, length / 2, length - 1}) {
            std::string image = Good();
            test::FlipDigit(image, Start(line) + column);
            const ValidationResult r = ValidateImage(image);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.line, line) << "column " << column << ": " << r.message;
        }
    }
}

TEST_F(Validator, NamesTheKindOfFault) {
    struct Case {
        const char* what;
        std::size_t line;
        std::size_t column;
        char replacement;
        const char* inMessage;
    };
    const Case cases[] = {
        {"lower-case digit", 500, 12, 'a', "lower-case"},
        {"not a digit", 500, 12, 'G', "not a hexadecimal digit"},
        {"no start code", 777, 0, ';', "':'"},
        {"bare LF", 900, 43, '\n', "CR LF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string image = Good();
        image[Start(c.line) + c.column] = c.replacement;
        const ValidationResult r = ValidateImage(image);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.line, c.line);
        EXPECT_NE(r.message.find(c.inMessage), std::string::npos) << r.message;
    }
}

TEST_F(Validator, WrongRecordsWithCorrectChecksums) {
    // Records that are well formed in themselves but out of place in the layout.
    auto withLine = [&](std::size_t line, const std::string& record) {
        std::string image = Good();
        const std::size_t end = image.find("\r\n", Start(line));
        image.replace(Start(line), end - Start(line), record);
        return image;
    };
    struct Case {
        std::size_t line;
        std::string record;
    };
    const Case cases[] = {
        {3, ":10001000000102030405060708090A0B0C0D0E0F"},    // offset 0010 where 0000 belongs
        {3, ":0F000000000102030405060708090A0B0C0D0E"},      // 15 bytes
        {2, ":020000022000"},                                // section 2's segment first
        {4099, ":10FFF000000102030405060708090A0B0C0D0E0F"},  // a 4097th record
        {4098, ":00000001"},                                  // section 1 closed early
        {8198, ":0A0000FF00000000001287000000"},              // trailer byte 9 changed
        {8198, ":0A0000FE00000000001287000001"},              // trailer of another type
        {1, ":040000EF03013401"},                             // identification byte 0
        {1, ":040000EF02013403"},                             // a revision with no image
        {1, ":0400000002013401"},                             // data instead of identification
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        const ValidationResult r = ValidateImage(withLine(c.line, WithChecksum(c.record)));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.line, c.line) << r.message;
    }
}

TEST_F(Validator, VersionRecordMustMatchTheCatalogueRow) {
    ImageParams params = ParamsFor(*FindCatalogueEntry("FW_012602"));
    params.versionBytes[4] ^= 0x01;
    const ValidationResult r = ValidateImage(BuildImage(params));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, kVersionRecordLine);
    EXPECT_NE(r.message.find("FW_012602"), std::string::npos) << r.message;

    // The other revision's identification on this content: the release no longer fits.
    params = ParamsFor(*FindCatalogueEntry("FW_012602"));
    params.hardwareRevision = 0x01;
    EXPECT_EQ(ValidateImage(BuildImage(params)).line, kVersionRecordLine);
}

TEST_F(Validator, UnboundImagesAreCheckedForTheirFormOnly) {
    // A later release for a carried tuner, and an image for a tuner without one.
    ImageParams release = ParamsFor(*FindCatalogueEntry("FW_013404"));
    release.versionBytes[1] = 0x06;
    ImageParams foreign = ParamsFor(*FindCatalogueEntry("FW_013401"));
    foreign.modelCode = kForeignModelCode;
    for (const ImageParams& params : {release, foreign}) {
        const std::string image = BuildImage(params);
        EXPECT_FALSE(ValidateImage(image).ok);
        const ValidationResult r = ValidateImage(image, CatalogueBinding::None);
        EXPECT_TRUE(r.ok) << r.message;

        // Faults of form are still found.
        std::string damaged = image;
        damaged[Start(2050) + 20] = damaged[Start(2050) + 20] == '0' ? '1' : '0';
        EXPECT_EQ(ValidateImage(damaged, CatalogueBinding::None).line, 2050u);
        EXPECT_EQ(ValidateImage(std::string_view(image).substr(0, kImageSize - 1), CatalogueBinding::None).line,
                  kLineCount);
    }
    for (const DamagedVariant& variant : DamagedVariants()) {
        SCOPED_TRACE(variant.fileName);
        const ValidationResult r = ValidateImage(BuildDamagedImage(variant.damage), CatalogueBinding::None);
        if (variant.damage == Damage::ForeignIdentification) {
            EXPECT_TRUE(r.ok) << r.message;
        } else {
            EXPECT_EQ(r.line, variant.faultLine) << r.message;
        }
    }
}

TEST_F(Validator, LengthFaults) {
    EXPECT_EQ(ValidateImage("").line, 1u);
    const std::string good = Good();
    EXPECT_EQ(ValidateImage(std::string_view(good).substr(0, Start(5000))).line, 5000u);
    // Cut inside a line: that line lacks its CR LF.
    EXPECT_EQ(ValidateImage(std::string_view(good).substr(0, Start(5000) + 20)).line, 5000u);
    EXPECT_EQ(ValidateImage(std::string_view(good).substr(0, kImageSize - 1)).line, kLineCount);
    const ValidationResult longer = ValidateImage(good + "\r\n");
    EXPECT_FALSE(longer.ok);
    EXPECT_EQ(longer.line, kLineCount + 1);
    std::string padded = good;
    padded.push_back('\0');
    EXPECT_EQ(ValidateImage(padded).line, kLineCount + 1);
}

TEST_F(Validator, IntegrityCoversBothSections) {
    // Swap two data records of equal offset across the sections, with their checksums:
    // every record stays valid, only the integrity value can notice.
    std::string image = Good();
    const std::string first = image.substr(Start(1000), 43);
    const std::string second = image.substr(Start(1000 + 4098), 43);
    ASSERT_EQ(first.substr(0, 9), second.substr(0, 9));
    ASSERT_NE(first, second);
    image.replace(Start(1000), 43, second);
    image.replace(Start(1000 + 4098), 43, first);
    const ValidationResult r = ValidateImage(image);
    EXPECT_EQ(r.line, kLineCount) << r.message;
    EXPECT_NE(r.message.find("integrity"), std::string::npos);
}

}  // namespace
}  // namespace firmware
