#include "DisplayName.h"

#include <gtest/gtest.h>

#include <string>

using namespace ombrel;

namespace {

std::string GuidText(std::string_view name) {
    auto id = ParseDeviceId(name);
    return id ? std::string(id->guidString.data()) : std::string("<refused>");
}

constexpr const char* kTypical =
    "@device:sw:{71985F48-1CA1-11D3-9CC8-00C04F7971E0}\\simtv#vid_0000&pid_0001&mi_01#00fedcba98765432#"
    "{71985f48-1ca1-11d3-9cc8-00c04f7971e0}";

}  // namespace

TEST(DeviceIdParsing, FullSegmentReversesPairsAndKeepsCase) {
    auto id = ParseDeviceId("x#0012345678abcdef#tail");
    ASSERT_TRUE(id);
    EXPECT_STREQ(id->guidString.data(), "efcdab7856341200");
    const std::array<std::uint8_t, 8> bytes{0xEF, 0xCD, 0xAB, 0x78, 0x56, 0x34, 0x12, 0x00};
    EXPECT_EQ(id->guid, bytes);
    EXPECT_EQ(GuidLow(id->guid), 0x78ABCDEFu);
    EXPECT_EQ(GuidHigh(id->guid), 0x00123456u);

    EXPECT_EQ(GuidText("a#0012345678ABCDEF#b"), "EFCDAB7856341200");
}

TEST(DeviceIdParsing, ShortSegmentIsPaddedOnTheLeft) {
    auto id = ParseDeviceId("name#12ab#{cat}");
    ASSERT_TRUE(id);
    EXPECT_STREQ(id->guidString.data(), "ab12000000000000");
    const std::array<std::uint8_t, 8> bytes{0xAB, 0x12, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(id->guid, bytes);
    EXPECT_EQ(GuidText("a##b"), "0000000000000000");  // empty segment
}

TEST(DeviceIdParsing, IdentifierComesFromTheLastTwoHashes) {
    auto id = ParseDeviceId(kTypical);
    ASSERT_TRUE(id);
    EXPECT_STREQ(id->guidString.data(), "32547698badcfe00");
    EXPECT_EQ(GuidLow(id->guid), 0x98765432u);
    EXPECT_EQ(GuidHigh(id->guid), 0x00fedcbau);
}

TEST(DeviceIdParsing, NonHexCharactersCountAsZeroButStayInTheText) {
    auto id = ParseDeviceId("a#zz12#b");
    ASSERT_TRUE(id);
    EXPECT_STREQ(id->guidString.data(), "12zz000000000000");
    EXPECT_EQ(id->guid[0], 0x12);
    EXPECT_EQ(id->guid[1], 0x00);
}

TEST(DeviceIdParsing, MalformedNamesGiveError) {
    for (const char* name : {"no hash at all", "#leading-only", ""}) {
        auto id = ParseDeviceId(name);
        ASSERT_TRUE(id) << name;
        EXPECT_STREQ(id->guidString.data(), "Error") << name;
        EXPECT_EQ(GuidLow(id->guid), 0u) << name;
        EXPECT_EQ(GuidHigh(id->guid), 0u) << name;
    }
}

TEST(DeviceIdParsing, SingleHashTakesEverythingBeforeIt) {
    EXPECT_EQ(GuidText("beef#rest"), "efbe000000000000");
}

TEST(DeviceIdParsing, SegmentsLongerThanTheFieldAreRefused) {
    EXPECT_FALSE(ParseDeviceId("a#00112233445566778#b"));  // 17 characters
    EXPECT_TRUE(ParseDeviceId("a#0011223344556677#b"));    // 16 fit
    EXPECT_FALSE(ParseDeviceId("0123456789abcdef0#x"));   // single '#', 17 before it
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
    EXPECT_FALSE(IsAcceptableDisplayName("a#00112233445566778#b"));
    EXPECT_TRUE(IsAcceptableDisplayName("no hash"));  // listed, with GUID string "Error"
}
