#include "DisplayName.h"

#include <gtest/gtest.h>

#include <string>

using namespace ombrel;

namespace {

std::string GuidText(std::string_view name) { return ParseDeviceId(name).guidString.data(); }

constexpr const char* kTypical =
    "@device:sw:{71985F48-1CA1-11D3-9CC8-00C04F7971E0}\\simtv#vid_0000&pid_0001&mi_01#00fedcba98765432#"
    "{71985f48-1ca1-11d3-9cc8-00c04f7971e0}";

}  // namespace

TEST(DeviceIdParsing, FullSegmentReversesPairsAndKeepsCase) {
    const DeviceId id = ParseDeviceId("x#0012345678abcdef#tail");
    EXPECT_STREQ(id.guidString.data(), "efcdab7856341200");
    const std::array<std::uint8_t, 8> bytes{0xEF, 0xCD, 0xAB, 0x78, 0x56, 0x34, 0x12, 0x00};
    EXPECT_EQ(id.guid, bytes);
    EXPECT_EQ(GuidLow(id.guid), 0x78ABCDEFu);
    EXPECT_EQ(GuidHigh(id.guid), 0x00123456u);

    EXPECT_EQ(GuidText("a#0012345678ABCDEF#b"), "EFCDAB7856341200");
}

TEST(DeviceIdParsing, ShortSegmentIsPaddedOnTheLeft) {
    const DeviceId id = ParseDeviceId("name#12ab#{cat}");
    EXPECT_STREQ(id.guidString.data(), "ab12000000000000");
    const std::array<std::uint8_t, 8> bytes{0xAB, 0x12, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(id.guid, bytes);
    EXPECT_EQ(GuidText("a##b"), "0000000000000000");  // empty segment
}

TEST(DeviceIdParsing, IdentifierComesFromTheLastTwoHashes) {
    const DeviceId id = ParseDeviceId(kTypical);
    EXPECT_STREQ(id.guidString.data(), "32547698badcfe00");
    EXPECT_EQ(GuidLow(id.guid), 0x98765432u);
    EXPECT_EQ(GuidHigh(id.guid), 0x00fedcbau);
}

TEST(DeviceIdParsing, NonHexCharactersCountAsZeroButStayInTheText) {
    const DeviceId id = ParseDeviceId("a#zz12#b");
    EXPECT_STREQ(id.guidString.data(), "12zz000000000000");
    EXPECT_EQ(id.guid[0], 0x12);
    EXPECT_EQ(id.guid[1], 0x00);
}

TEST(DeviceIdParsing, MalformedNamesGiveError) {
    for (const char* name : {"no hash at all", "#leading-only", ""}) {
        const DeviceId id = ParseDeviceId(name);
        EXPECT_STREQ(id.guidString.data(), "Error") << name;
        EXPECT_EQ(GuidLow(id.guid), 0u) << name;
        EXPECT_EQ(GuidHigh(id.guid), 0u) << name;
    }
}

TEST(DeviceIdParsing, SingleHashTakesEverythingBeforeIt) {
    EXPECT_EQ(GuidText("beef#rest"), "efbe000000000000");
}

TEST(DeviceIdParsing, SegmentsLongerThanTheFieldKeepTheirLast16Characters) {
    EXPECT_EQ(GuidText("a#00112233445566778#b"), "7867564534231201");  // 17 characters
    EXPECT_EQ(GuidText("a#0011223344556677#b"), "7766554433221100");   // 16 fit as they are
    EXPECT_EQ(GuidText(std::string("x#") + std::string(400, '9') + "0123456789abcdef#y"), "efcdab8967452301");
    // A single '#': the whole text before it is the segment.
    EXPECT_EQ(GuidText("@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\beef#tail"), "efbe}\\86CE11C9A0");
    const DeviceId id = ParseDeviceId("zz#ffffffffffffffff1#q");
    EXPECT_EQ(GuidLow(id.guid), 0xfffffff1u);
    EXPECT_EQ(GuidHigh(id.guid), 0xffffffffu);
}

TEST(Subunit, DigitOrCharacterBeforeTheSecondToLastHash) {
    EXPECT_EQ(ParseSubunit("talvexsim#vid_1d19&pid_0034#3#0012345678abcdef#{cat}"), 3);
    EXPECT_EQ(ParseSubunit("xA#id#c"), 17);
    EXPECT_EQ(ParseSubunit(kTypical), '1' - '0');
}

TEST(Subunit, NamesWithoutSuchACharacterHaveNone) {
    EXPECT_EQ(ParseSubunit("nohash"), kNoSubunit);
    EXPECT_EQ(ParseSubunit("one#hash"), kNoSubunit);
    EXPECT_EQ(ParseSubunit("#first#last"), kNoSubunit);
}

TEST(DisplayNameLimits, LengthAndSegmentDecideAcceptance) {
    std::string fits = "a#0011#" + std::string(kMaxDisplayName - 7, 'x');
    ASSERT_EQ(fits.size(), kMaxDisplayName);
    EXPECT_TRUE(IsAcceptableDisplayName(fits));
    EXPECT_FALSE(IsAcceptableDisplayName(fits + "x"));
    EXPECT_TRUE(IsAcceptableDisplayName("a#00112233445566778#b"));  // identifier cut, name kept
    EXPECT_TRUE(IsAcceptableDisplayName("no hash"));  // listed, with GUID string "Error"
}
