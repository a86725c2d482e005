// DVB texts to UTF-8: every selector, the control codes, and bytes that are no text,
// against iconv's reading of the same one-byte tables where it has them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../psi/IconvText.h"
#include "DvbCharsetTables.h"
#include "DvbTextDecoder.h"

namespace {

using talvex::tables::DecodeDvbText;
using Bytes = std::vector<uint8_t>;

std::string Decode(const Bytes& b) { return DecodeDvbText(b.data(), b.size()); }

TEST(DvbText, SelectorsControlCodesAndBrokenTextDecodeToUtf8) {
    // The default table: ASCII, its own upper half (the euro at 0xA4), diacritics before their letter.
    EXPECT_EQ(Decode({'N', 'e', 'w', 's'}), "News");
    EXPECT_EQ(Decode({'5', 0xA4, ' ', 0xC2, 'e', 't', 0xC8, 'a', ' ', 0xFB}), "5\u20AC e\u0301ta\u0308 \u00DF");
    EXPECT_EQ(Decode({'x', 0xC2}), "x\uFFFD");  // a diacritic with no letter
    // Emphasis dropped, CR/LF a newline, other controls gone.
    EXPECT_EQ(Decode({0x86, 'T', 'o', 'p', 0x87, 0x8A, 'n', 'e', 'w', 0x01, 0x7F}), "Top\nnew");
    // 0x01..0x0B: ISO/IEC 8859-5..15.
    EXPECT_EQ(Decode({0x01, 0xBF, 0xD5, 0xE0, 0xD2, 0xEB, 0xD9}), "\u041F\u0435\u0440\u0432\u044B\u0439");
    EXPECT_EQ(Decode({0x03, 0xC5, 0xD1, 0xD4}), "\u0395\u03A1\u03A4");
    EXPECT_EQ(Decode({0x05, 0xDD, 0xFE}), "\u0130\u015F");
    EXPECT_EQ(Decode({0x0B, 0xA4, 0xBC}), "\u20AC\u0152");
    EXPECT_EQ(Decode({0x08, 'a', 0xE9}), "a\uFFFD");  // part 12 does not exist
    // 0x10 0x00 0xNN: any part by number; 0x11 UCS-2 with its control codes; 0x15 UTF-8.
    EXPECT_EQ(Decode({0x10, 0x00, 0x02, 0xA3, 0xB1}), "\u0141\u0105");
    EXPECT_EQ(Decode({0x10, 0x00, 0x0C, 'a'}), "a");
    EXPECT_EQ(Decode({0x10, 0x00}), "");
    EXPECT_EQ(Decode({0x11, 0x04, 0x1F, 0xE0, 0x8A, 0x00, 0x41, 0xD8, 0x00, 0x00}), "\u041F\nA\uFFFD\uFFFD");
    EXPECT_EQ(Decode({0x15, 0xC3, 0xA9, 0xC2, 0x8A, 'z', 0xFF, 0xE2, 0x82}), "\u00E9\nz\uFFFD\uFFFD\uFFFD");
    // Tables not carried: what is ASCII stays, the rest is marked.
    EXPECT_EQ(Decode({0x13, 'T', 'V', 0xB5, 0xE7}), "TV\uFFFD\uFFFD");
    EXPECT_EQ(Decode({0x1F, 0x01, 'a', 'b'}), "\uFFFD");
    EXPECT_EQ(Decode({}), "");
    EXPECT_EQ(Decode({0x15}), "");
}

TEST(DvbText, TheOneByteTablesAgreeWithIconv) {
    for (int part : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15}) {
        SCOPED_TRACE(part);
        for (int byte = 0xA0; byte <= 0xFF; ++byte) {
            const uint8_t single = static_cast<uint8_t>(byte);
            std::string expected;  // empty where iconv finds the byte undefined
            try {
                expected = psitest::IconvToUtf8("ISO-8859-" + std::to_string(part), &single, 1);
            } catch (const std::exception&) {
            }
            const Bytes text = {0x10, 0x00, static_cast<uint8_t>(part), static_cast<uint8_t>(byte)};
            const std::string decoded = Decode(text);
            if (expected.empty()) {
                EXPECT_EQ(decoded, "\uFFFD") << byte;
            } else {
                EXPECT_EQ(decoded, expected) << byte;
                // And back: the encoder's direction of the same table.
                EXPECT_EQ(talvex::tables::Iso8859Byte(part, talvex::tables::Iso8859Char(part, static_cast<uint8_t>(byte))),
                          byte);
            }
        }
    }
}

}  // namespace
