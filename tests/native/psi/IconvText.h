// Reading coded names back with glibc's iconv, an outside reader of the character tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Sky.h"

namespace psitest {

// Bytes in `charset` (an iconv name) to UTF-8; throws when iconv cannot read them.
std::string IconvToUtf8(const std::string& charset, const uint8_t* bytes, std::size_t size);

// A DVB text (EN 300 468 annex A): its selector byte names the table; without one it is
// the default table, a superset of ASCII (ISO 6937). Gives the text as UTF-8.
std::string DvbTextToUtf8(const uint8_t* bytes, std::size_t size);
inline std::string DvbTextToUtf8(const std::vector<uint8_t>& bytes) { return DvbTextToUtf8(bytes.data(), bytes.size()); }

// What a sky text reads as once coded: the text itself, except that the default table
// codes ASCII only, so any other character of a text meant for it reads as '?'.
std::string AsCoded(const tunersim::sky::Text& text);

}  // namespace psitest
