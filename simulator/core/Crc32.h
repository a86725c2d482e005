#pragma once

#include <cstdint>
#include <string_view>

namespace tunersim {

// CRC-32 as zlib and PNG compute it (reflected, polynomial 0xEDB88320).
uint32_t Crc32(std::string_view bytes);

}  // namespace tunersim
