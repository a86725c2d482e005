// The one-byte character tables of DVB texts (EN 300 468 annex A): the default table (its
// ISO/IEC 6937 based layout, with the euro sign at 0xA4) and ISO/IEC 8859 parts 1 to 15.
// The simulator's text encoder and the reader's decoder both read them from here.
#pragma once

#include <cstdint>
#include <optional>

namespace talvex::tables {

// Bytes 0x00..0x7F are ASCII in every table; these give the upper half.
// The character of byte 0xA0..0xFF in ISO/IEC 8859-`part` (1..11, 13..15); 0 where the
// part leaves the byte undefined or there is no such part.
char32_t Iso8859Char(int part, std::uint8_t byte);
// The byte that codes `c` in ISO/IEC 8859-`part`: printable ASCII, or 0xA0..0xFF as the
// part defines them; nullopt otherwise.
std::optional<std::uint8_t> Iso8859Byte(int part, char32_t c);

// The default table's byte 0xA0..0xFF that stands alone (not a diacritic); 0 if undefined.
char32_t DefaultTableChar(std::uint8_t byte);
// The combining diacritical mark (U+03xx) that byte 0xC1..0xCF of the default table puts
// on the letter after it; 0 for other bytes.
char32_t DefaultTableDiacritic(std::uint8_t byte);

}  // namespace talvex::tables
