// The CRC_32 of PSI/SI sections (ISO/IEC 13818-1 annex A): polynomial 0x04C11DB7, initial
// value all ones, no reflection, no final inversion. Over a whole section including its
// CRC_32 field the result is 0. Shared by the simulator's table writers and the reader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex::tables {

std::uint32_t Crc32Mpeg(const std::uint8_t* data, std::size_t length);

}  // namespace talvex::tables
