// PSI/SI sections (ISO/IEC 13818-1 2.4.4): the framing every table shares, so that the
// table writers only lay out their bodies. A section is the whole byte string from
// table_id to the CRC_32 (where the table has one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "SectionCrc.h"

namespace tunersim::stream::psi {

using Section = std::vector<uint8_t>;

// ISO/IEC 13818-1 annex A (tools/tables keeps the one implementation, which the reader
// checks received sections with).
using talvex::tables::Crc32Mpeg;

// The largest whole section: 1024 bytes for PAT, PMT, NIT, SDT, TDT, TOT and the ATSC
// MGT, VCT and STT; 4096 for EIT.
inline constexpr std::size_t kMaxSectionSize = 1024;
inline constexpr std::size_t kMaxEitSectionSize = 4096;
// Bytes a long-form section spends around its body: the 8-byte header and the CRC_32.
inline constexpr std::size_t kLongSectionOverhead = 8 + 4;

// The fields of the long (section_syntax_indicator 1) header after section_length.
struct LongHeader {
    uint8_t tableId;
    uint16_t extension;      // transport_stream_id, program_number, service_id, network_id
    uint8_t version = 0;     // 5 bits
    uint8_t sectionNumber = 0;
    uint8_t lastSectionNumber = 0;
    bool privateIndicator = false;  // '1' in the DVB SI and ATSC tables, '0' in PAT and PMT
};

// A long-form section around `body`, section_length and CRC_32 filled in. The caller
// keeps the body within its table's limit.
Section LongSection(const LongHeader& header, std::span<const uint8_t> body);

// A short-form section (section_syntax_indicator 0), as TDT (no CRC) and TOT (with CRC).
Section ShortSection(uint8_t tableId, std::span<const uint8_t> body, bool withCrc);

}  // namespace tunersim::stream::psi
