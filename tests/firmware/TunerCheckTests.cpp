// The check a tuner makes on a received image, and the precedence of its codes.
#include "FirmwareTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace firmware {
namespace {

const CatalogueEntry& TalvexRev1() { return *FindCatalogueEntry("FW_013401"); }
const CatalogueEntry& TalvexRev2() { return *FindCatalogueEntry("FW_013402"); }

std::uint8_t CodeOn(const std::string& image, const CatalogueEntry& tuner) {
    return CheckForTuner(image, tuner.productLine, tuner.modelCode, tuner.hardwareRevision).code;
}

// Offset of the first character of a line (1-based) in a complete image.
std::size_t Start(const std::string& image, std::size_t line) { return test::LineStarts(image)[line - 1]; }

TEST(TunerCheck, IdentificationDecides) {
    const std::string rev2 = BuildImage(TalvexRev2());
    EXPECT_EQ(CodeOn(rev2, TalvexRev1()), kTunerBadHardware);
    EXPECT_EQ(CodeOn(rev2, TalvexRev2()), kTunerOk);
    EXPECT_EQ(CheckForTuner(rev2, 0x01, 0x24, 0x02).code, kTunerBadHardware) << "same revision, other model";
    EXPECT_EQ(CheckForTuner(rev2, 0x0A, 0x34, 0x02).code, kTunerBadHardware) << "other product line";
    const TunerCheckResult own = CheckForTuner(rev2, 0x01, 0x34, 0x02);
    EXPECT_EQ(own.major, 2);
    EXPECT_EQ(own.minor, 3);
    EXPECT_EQ(own.patch, 0);
    EXPECT_EQ(own.build, 44650);
}

TEST(TunerCheck, IdentificationTagAndPlaceAreChecked) {
    ImageParams params = ParamsFor(TalvexRev1());
    std::string image = BuildImage(params);
    // Byte 0 of the identification record 03 instead of 02, checksum adjusted (D5 -> D4).
    image.replace(9, 2, "03");
    image.replace(17, 2, "D4");
    EXPECT_EQ(CodeOn(image, TalvexRev1()), kTunerBadHardware);

    // No identification record at all: the image starts with section 1.
    std::string headless = BuildImage(params).substr(21);
    headless.append(21, '\0');
    EXPECT_EQ(CodeOn(headless, TalvexRev1()), kTunerBadHardware);
}

TEST(TunerCheck, PrecedenceOfCodes) {
    const CatalogueEntry& tuner = TalvexRev1();
    // Foreign identification and a bad checksum: the checksum is reported.
    std::string image = BuildDamagedImage(Damage::ForeignIdentification);
    test::FlipDigit(image, Start(image, 3000) + 20);
    EXPECT_EQ(CodeOn(image, tuner), kTunerBadCrc);
    // Short section and a bad checksum: the count is reported.
    image = BuildDamagedImage(Damage::ShortSection);
    test::FlipDigit(image, Start(image, 3000) + 20);
    EXPECT_EQ(CodeOn(image, tuner), kTunerBadRecordCount);
    // Missing section, wrong integrity value and foreign identification: sections first.
    image = BuildDamagedImage(Damage::MissingSection);
    image.replace(9, 8, "02013701");
    image.replace(17, 2, "D8");
    EXPECT_EQ(CodeOn(image, tuner), kTunerBadSectionCount);
    // A fault late in the image outranks a lesser one early in it.
    image = BuildDamagedImage(Damage::ShortSection);
    test::FlipDigit(image, Start(image, 10) + 20);
    EXPECT_EQ(CodeOn(image, tuner), kTunerBadRecordCount);
}

TEST(TunerCheck, StructuralFaults) {
    const CatalogueEntry& tuner = TalvexRev1();
    const std::string good = BuildImage(tuner);

    // Section 1's end-of-file record replaced by a data record: one long unclosed section.
    std::string merged = good;
    merged.replace(Start(good, 4099), 11, ":00000001FF");  // unchanged: control
    EXPECT_EQ(CodeOn(merged, tuner), kTunerOk);
    merged.replace(Start(good, 4100), 15, ":020000021000EC");  // section 2 opened at 0x1000 again
    EXPECT_EQ(CodeOn(merged, tuner), kTunerBadSectionCount);

    // The image cut short (as if fewer bytes had arrived).
    EXPECT_EQ(CodeOn(good.substr(0, 200000), tuner), kTunerBadSectionCount);
    EXPECT_EQ(CodeOn(std::string(), tuner), kTunerBadSectionCount);

    // Two data records exchanged: the offsets no longer run in order.
    std::string swapped = good;
    const std::string a = good.substr(Start(good, 500), 45), b = good.substr(Start(good, 501), 45);
    swapped.replace(Start(good, 500), 45, b);
    swapped.replace(Start(good, 501), 45, a);
    EXPECT_EQ(CodeOn(swapped, tuner), kTunerBadRecordCount);
}

TEST(TunerCheck, IntegrityFaults) {
    const CatalogueEntry& tuner = TalvexRev1();
    const std::string good = BuildImage(tuner);

    std::string garbled = good;
    garbled.replace(Start(good, 6000) + 5, 3, "XYZ");
    EXPECT_EQ(CodeOn(garbled, tuner), kTunerBadCrc) << "unreadable record";

    // Trailer constant byte 9 changed with a correct record checksum (D5 -> D6).
    std::string tail = good;
    const std::size_t trailer = Start(good, kLineCount);
    ASSERT_EQ(tail.substr(trailer + 27, 2), "01");
    tail.replace(trailer + 27, 2, "00");
    const auto sum = static_cast<std::uint8_t>(std::stoi(tail.substr(trailer + 29, 2), nullptr, 16) + 1);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    tail.replace(trailer + 29, 2, digits);
    EXPECT_EQ(CodeOn(tail, tuner), kTunerBadCrc) << "trailer constants";

    std::string noTrailer = good.substr(0, trailer);
    noTrailer.append(kImageSize - noTrailer.size(), '\0');
    EXPECT_EQ(CodeOn(noTrailer, tuner), kTunerBadCrc) << "trailer missing";
}

TEST(TunerCheck, ReadsOnlyWhatIsSentAndToleratesItsEncodings) {
    const CatalogueEntry& tuner = TalvexRev1();
    const std::string good = BuildImage(tuner);
    EXPECT_EQ(CodeOn(good + std::string(1000, 'Z'), tuner), kTunerOk) << "bytes beyond the image size";

    std::string lower = good;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'F' ? c + 32 : c; });
    const TunerCheckResult r = CheckForTuner(lower, tuner.productLine, tuner.modelCode, tuner.hardwareRevision);
    EXPECT_EQ(r.code, kTunerOk);
    EXPECT_EQ(r.build, 44650);
}

}  // namespace
}  // namespace firmware
