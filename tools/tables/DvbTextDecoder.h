// DVB texts (EN 300 468 annex A) to UTF-8: the character table a text selects with its
// first bytes, the emphasis control codes dropped and the line break made a newline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvex::tables {

// Bytes the decoder cannot map (undefined in their table, malformed UTF-8 or UCS-2, the
// multi-byte Asian tables and compressed texts it does not carry) become U+FFFD.
std::string DecodeDvbText(const std::uint8_t* data, std::size_t size);

}  // namespace talvex::tables
