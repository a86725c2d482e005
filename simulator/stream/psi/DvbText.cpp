#include "DvbText.h"

#include <limits>
#include <string_view>

#include "DvbCharsets.h"
#include "Utf8.h"

namespace tunersim::stream::psi {
namespace {

// C0 and C1 controls and DEL: in a DVB text they would be read as selectors or as the
// one-byte tables' control codes (emphasis, line breaks).
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::vector<uint8_t> EncodeDvbText(const sky::Text& text) {
    return EncodeDvbText(text, std::numeric_limits<std::size_t>::max());
}

std::vector<uint8_t> EncodeDvbText(const sky::Text& text, std::size_t maxBytes) {
    std::vector<uint8_t> out;
    const std::string_view utf8 = text.utf8;
    if (utf8.empty() || maxBytes == 0) return out;
    const auto selector = DvbTextSelector(text.table);
    if (selector) out.push_back(*selector);
    const std::size_t start = out.size();
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Utf8Char c = NextUtf8Char(utf8, pos);
        const bool codable = c.valid && !IsControl(c.value);
        if (text.table == sky::TextTable::Utf8) {
            // The character's own bytes, or '?'.
            const std::size_t size = codable ? c.bytes : 1;
            if (out.size() + size > maxBytes) break;
            if (codable)
                out.insert(out.end(), utf8.begin() + static_cast<std::ptrdiff_t>(pos),
                           utf8.begin() + static_cast<std::ptrdiff_t>(pos + c.bytes));
            else
                out.push_back('?');
        } else {
            if (out.size() + 1 > maxBytes) break;
            const auto code = codable ? OneByteCode(text.table, c.value) : std::nullopt;
            out.push_back(code ? *code : '?');
        }
        pos += c.bytes;
    }
    if (out.size() == start) out.clear();  // a selector alone announces nothing
    return out;
}

}  // namespace tunersim::stream::psi
