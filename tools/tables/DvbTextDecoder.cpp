#include "DvbTextDecoder.h"

#include <string_view>

#include "DvbCharsetTables.h"
#include "Utf8Text.h"

namespace talvex::tables {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The control codes of the one-byte tables (0x80..0x9F) and of the two-byte ones
// (0xE080..0xE09F): emphasis on/off is dropped, CR/LF is a line break, the rest is
// reserved and dropped too.
constexpr char32_t kCrLf = 0x8A;

void AppendControlOrChar(std::string& out, char32_t c) {
    if (c == kCrLf) {
        out.push_back('\n');
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        // C0 controls, DEL and the C1 range: nothing to show.
    } else {
        AppendUtf8(out, c);
    }
}

// part 0 is the default table.
void DecodeOneByte(std::string& out, const std::uint8_t* p, std::size_t n, int part) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b < 0xA0) {
            AppendControlOrChar(out, b);
        } else if (part != 0) {
            const char32_t c = Iso8859Char(part, b);
            AppendUtf8(out, c != 0 ? c : kReplacement);
        } else if (const char32_t mark = DefaultTableDiacritic(b); mark != 0 || (b >= 0xC0 && b <= 0xCF)) {
            // A diacritic comes before its letter; Unicode puts the combining mark after it.
            if (mark == 0 || i + 1 >= n || p[i + 1] < 0x20 || (p[i + 1] >= 0x7F && p[i + 1] < 0xA0)) {
                AppendUtf8(out, kReplacement);
                continue;
            }
            const std::uint8_t base = p[++i];
            const char32_t letter = base < 0x80 ? base : DefaultTableChar(base);
            AppendUtf8(out, letter != 0 ? letter : kReplacement);
            AppendUtf8(out, mark);
        } else {
            const char32_t c = DefaultTableChar(b);
            AppendUtf8(out, c != 0 ? c : kReplacement);
        }
    }
}

void DecodeUcs2(std::string& out, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        char32_t c = static_cast<char32_t>(p[i] << 8 | p[i + 1]);
        if (c >= 0xE080 && c <= 0xE09F) c -= 0xE000;  // the control codes' two-byte form
        if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;  // UCS-2 has no surrogates
        AppendControlOrChar(out, c);
    }
    if (n % 2 != 0) AppendUtf8(out, kReplacement);
}

void DecodeUtf8(std::string& out, const std::uint8_t* p, std::size_t n) {
    const std::string_view text(reinterpret_cast<const char*>(p), n);
    for (std::size_t pos = 0; pos < text.size();) {
        const Utf8Char c = NextUtf8Char(text, pos);
        if (!c.valid)
            AppendUtf8(out, kReplacement);
        else if (c.value >= 0xE080 && c.value <= 0xE09F)
            AppendControlOrChar(out, c.value - 0xE000);
        else
            AppendControlOrChar(out, c.value);
        pos += c.bytes;
    }
}

// Tables the decoder does not carry: keep what is ASCII, mark the rest.
void DecodeUnknown(std::string& out, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] < 0x80)
            AppendControlOrChar(out, p[i]);
        else
            AppendUtf8(out, kReplacement);
    }
}

}  // namespace

std::string DecodeDvbText(const std::uint8_t* data, std::size_t size) {
    std::string out;
    if (data == nullptr || size == 0) return out;
    const std::uint8_t first = data[0];
    if (first >= 0x20) {
        DecodeOneByte(out, data, size, 0);
    } else if (first >= 0x01 && first <= 0x0B) {
        // 0x01..0x0B select ISO/IEC 8859-5..15; 0x08 would be part 12, which does not exist.
        const int part = first + 4;
        if (part == 12)
            DecodeUnknown(out, data + 1, size - 1);
        else
            DecodeOneByte(out, data + 1, size - 1, part);
    } else if (first == 0x10) {
        // 0x10 0x00 0xNN: ISO/IEC 8859-NN.
        const int part = size >= 3 && data[1] == 0x00 ? data[2] : 0;
        if (part >= 1 && part <= 15 && part != 12)
            DecodeOneByte(out, data + 3, size - 3, part);
        else
            DecodeUnknown(out, data + (size < 3 ? size : 3), size < 3 ? 0 : size - 3);
    } else if (first == 0x11) {
        DecodeUcs2(out, data + 1, size - 1);
    } else if (first == 0x15) {
        DecodeUtf8(out, data + 1, size - 1);
    } else if (first == 0x1F) {
        // encoding_type_id: a compressed text, nothing of it readable without its tables.
        AppendUtf8(out, kReplacement);
    } else {
        // 0x12..0x14 (KS X 1001, GB 2312, Big5) and reserved selectors.
        DecodeUnknown(out, data + 1, size - 1);
    }
    return out;
}

}  // namespace talvex::tables
