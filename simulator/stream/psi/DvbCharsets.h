// The one-byte character tables of EN 300 468 annex A that the sky's names use: their
// selector bytes and which byte codes a character. The tables themselves are the
// reader's (tools/tables/DvbCharsetTables.h), so that writing and reading agree.
#pragma once

#include <cstdint>
#include <optional>

#include "Sky.h"

namespace tunersim::stream::psi {

// The byte that announces the table at the start of a text; nullopt for the default
// table, which needs none.
std::optional<uint8_t> DvbTextSelector(sky::TextTable table);

// The byte that codes `c` in a one-byte table (Default or ISO 8859-5/7/9/15): printable
// ASCII, and 0xA0..0xFF as the table defines them. nullopt for control characters and
// for what the table lacks.
std::optional<uint8_t> OneByteCode(sky::TextTable table, char32_t c);

}  // namespace tunersim::stream::psi
