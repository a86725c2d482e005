// Reading and writing UTF-8 one character at a time, tolerating what is not UTF-8: texts
// come from the sky's table, from received tables and, in tests, from anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvex::tables {

struct Utf8Char {
    char32_t value;     // the code point; meaningless when !valid
    std::size_t bytes;  // how many bytes of the text it spans (at least 1)
    bool valid;         // a well-formed, shortest-form scalar value (RFC 3629)
};

// The character that begins at `pos` (< text.size()). A malformed sequence is one
// invalid character of one byte, so that reading resumes at the next byte.
Utf8Char NextUtf8Char(std::string_view text, std::size_t pos);

// Appends `c` as UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace talvex::tables
