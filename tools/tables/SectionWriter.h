// Writing long-form sections (ISO/IEC 13818-1 2.4.4.11): header, section_length and
// CRC_32 around a body. The simulator's table writers and the one-service filter's own
// PAT, SDT and EIT all come from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvex::tables {

struct LongSectionFields {
    std::uint8_t tableId = 0;
    std::uint16_t extension = 0;
    std::uint8_t version = 0;  // 5 bits
    std::uint8_t number = 0;
    std::uint8_t last = 0;
    bool privateIndicator = false;  // '1' in the DVB SI and ATSC tables, '0' in PAT and PMT
};

// current_next_indicator 1. The caller keeps the body within its table's limit.
std::vector<std::uint8_t> MakeLongSection(const LongSectionFields& fields, const std::uint8_t* body, std::size_t size);

}  // namespace talvex::tables
