// The thirteen carried images, as the build wrote them and as built in memory.
#include "FirmwareTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace firmware {
namespace {

using test::RecordBytes;
using test::SplitCrLf;

class GeneratedImages : public ::testing::TestWithParam<std::size_t> {
protected:
    const CatalogueEntry& Entry() const { return Catalogue()[GetParam()]; }
};

std::string EntryName(const ::testing::TestParamInfo<std::size_t>& info) { return Catalogue()[info.param].key; }

TEST_P(GeneratedImages, BuildProductMatchesFreshBuildAndValidates) {
    const std::string built = BuildImage(Entry());
    const auto file = test::ReadFile(test::FirmwareDir() + "/" + ImageFileName(Entry()));
    ASSERT_TRUE(file.has_value()) << "missing " << ImageFileName(Entry());
    EXPECT_TRUE(*file == built) << "build product differs from a fresh build";
    const ValidationResult result = ValidateImage(*file);
    EXPECT_TRUE(result.ok) << "line " << result.line << ": " << result.message;
    EXPECT_EQ(result.line, 0u);
}

TEST_P(GeneratedImages, LayoutLineByLine) {
    const CatalogueEntry& e = Entry();
    const std::string image = BuildImage(e);
    ASSERT_EQ(image.size(), kImageSize);
    std::string_view rest;
    const auto lines = SplitCrLf(image, &rest);
    ASSERT_EQ(lines.size(), kLineCount);
    EXPECT_TRUE(rest.empty()) << "text after the last CR LF";

    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t line = i + 1;
        SCOPED_TRACE("line " + std::to_string(line));
        const std::vector<std::uint8_t> bytes = RecordBytes(lines[i]);
        ASSERT_FALSE(bytes.empty()) << "not an upper-case hex record: " << lines[i];
        unsigned sum = 0;
        for (std::uint8_t b : bytes) sum += b;
        ASSERT_EQ(sum & 0xFF, 0u) << "checksum";
        ASSERT_EQ(bytes[0] + 5u, bytes.size()) << "byte count";

        std::size_t expectedLength = 45;
        if (line == 1) expectedLength = 21;
        else if (line == 2 || line == 4100) expectedLength = 17;
        else if (line == 4099 || line == 8197) expectedLength = 13;
        else if (line == 8198) expectedLength = 33;
        ASSERT_EQ(lines[i].size() + 2, expectedLength);

        if (line == 2) {
            EXPECT_EQ(lines[i], ":020000021000EC");
        } else if (line == 4100) {
            EXPECT_EQ(lines[i], ":020000022000DC");
        } else if (line == 4099 || line == 8197) {
            EXPECT_EQ(lines[i], ":00000001FF");
        }
        if (expectedLength == 45) {
            const std::size_t index = line < 4099 ? line - 3 : line - 4101;
            ASSERT_EQ(bytes[3], 0x00) << "type";
            ASSERT_EQ(bytes[1] * 256u + bytes[2], index * 16) << "offset";
            data.insert(data.end(), bytes.begin() + 4, bytes.end() - 1);
        }
    }

    const auto id = RecordBytes(lines[0]);
    EXPECT_EQ(std::vector<std::uint8_t>(id.begin() + 3, id.end() - 1),
              (std::vector<std::uint8_t>{0xEF, 0x02, e.productLine, e.modelCode, e.hardwareRevision}));
    EXPECT_EQ(lines[0].substr(0, 9), ":040000EF");

    const auto trailer = RecordBytes(lines.back());
    EXPECT_EQ(lines.back().substr(0, 9), ":0A0000FF");
    EXPECT_EQ(std::vector<std::uint8_t>(trailer.begin() + 8, trailer.end() - 1),
              (std::vector<std::uint8_t>{0x00, 0x12, 0x87, 0x00, 0x00, 0x01}));
    ASSERT_EQ(data.size(), 2 * kRecordsPerSection * kDataBytesPerRecord);
    const std::uint32_t crc = test::ReferenceCrc32(data);
    EXPECT_EQ(trailer[4] | trailer[5] << 8 | trailer[6] << 16 | static_cast<std::uint32_t>(trailer[7]) << 24, crc)
        << "integrity value";
}

TEST_P(GeneratedImages, VersionRecordWhereTheReaderLooks) {
    const CatalogueEntry& e = Entry();
    const std::string image = BuildImage(e);
    const std::size_t found = image.find(":10080000");
    ASSERT_EQ(found, kVersionRecordOffset);
    const auto lines = SplitCrLf(image);
    EXPECT_EQ(lines[kVersionRecordLine - 1].data(), image.data() + found);
    const auto bytes = RecordBytes(lines[kVersionRecordLine - 1]);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 4, bytes.begin() + 10),
              std::vector<std::uint8_t>(std::begin(e.versionBytes), std::end(e.versionBytes)));

    std::vector<std::size_t> versionLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].starts_with(":10080000")) versionLines.push_back(i + 1);
    }
    EXPECT_EQ(versionLines, (std::vector<std::size_t>{131, 4229}));
}

TEST_P(GeneratedImages, OwnTunerAcceptsAndReportsTheRelease) {
    const CatalogueEntry& e = Entry();
    const TunerCheckResult r = CheckForTuner(BuildImage(e), e.productLine, e.modelCode, e.hardwareRevision);
    EXPECT_EQ(r.code, kTunerOk);
    EXPECT_EQ(r.major, e.versionBytes[0]);
    EXPECT_EQ(r.minor, e.versionBytes[1]);
    EXPECT_EQ(r.patch, e.versionBytes[2]);
    EXPECT_EQ(r.build, e.Build());
}

INSTANTIATE_TEST_SUITE_P(Catalogue, GeneratedImages, ::testing::Range<std::size_t>(0, 13), EntryName);

TEST(GeneratedImageSet, ExactlyTheCatalogueIsWritten) {
    std::set<std::string> expected, written;
    for (const CatalogueEntry& e : Catalogue()) expected.insert(ImageFileName(e));
    for (const auto& item : std::filesystem::directory_iterator(test::FirmwareDir())) {
        if (item.is_regular_file() && item.path().extension() == ".hex") written.insert(item.path().filename().string());
    }
    EXPECT_EQ(written, expected);
}

TEST(GeneratedImageSet, EveryKeyHasContentOfItsOwn) {
    // Keys that share a release still get distinct images (content seeded per key).
    const std::string a = BuildImage(*FindCatalogueEntry("FW_013401"));
    const std::string b = BuildImage(*FindCatalogueEntry("FW_012401"));
    EXPECT_EQ(a.substr(kVersionRecordOffset, 21), b.substr(kVersionRecordOffset, 21));
    EXPECT_NE(a.substr(64, 2000), b.substr(64, 2000));
    std::set<std::string> trailers;
    for (const CatalogueEntry& e : Catalogue()) trailers.insert(BuildImage(e).substr(kImageSize - 33));
    EXPECT_EQ(trailers.size(), 13u);
}

TEST(GeneratedImageSet, BuildingTwiceGivesTheSameBytes) {
    const CatalogueEntry& e = *FindCatalogueEntry("FW_013602");
    EXPECT_TRUE(BuildImage(e) == BuildImage(e));
    EXPECT_TRUE(BuildImage(ParamsFor(e)) == BuildImage(e));
}

}  // namespace
}  // namespace firmware
