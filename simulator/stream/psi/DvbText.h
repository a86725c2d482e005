// Names as the DVB tables carry them (EN 300 468 annex A): the sky's UTF-8 text in the
// character table it names, behind that table's selector byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Sky.h"

namespace tunersim::stream::psi {

// The whole text. A character the table cannot code, a control character and a byte
// that is not UTF-8 become '?'. An empty text is no bytes at all (no selector either).
std::vector<uint8_t> EncodeDvbText(const sky::Text& text);

// At most `maxBytes` bytes, selector included, cut after the last whole character that
// fits; nothing when not even one character fits behind the selector.
std::vector<uint8_t> EncodeDvbText(const sky::Text& text, std::size_t maxBytes);

}  // namespace tunersim::stream::psi
