#include "SectionWriter.h"

#include "SectionCrc.h"

namespace talvex::tables {

std::vector<std::uint8_t> MakeLongSection(const LongSectionFields& f, const std::uint8_t* body, std::size_t size) {
    // section_length counts the bytes after its own field, the CRC_32 included.
    const std::size_t length = 5 + size + 4;
    std::vector<std::uint8_t> s;
    s.reserve(3 + length);
    s.push_back(f.tableId);
    // section_syntax_indicator 1, private_indicator, reserved '11', then the length.
    s.push_back(static_cast<std::uint8_t>(0x80 | (f.privateIndicator ? 0x40 : 0) | 0x30 | (length >> 8 & 0x0F)));
    s.push_back(static_cast<std::uint8_t>(length));
    s.push_back(static_cast<std::uint8_t>(f.extension >> 8));
    s.push_back(static_cast<std::uint8_t>(f.extension));
    // reserved '11', version_number, current_next_indicator 1.
    s.push_back(static_cast<std::uint8_t>(0xC0 | (f.version & 0x1F) << 1 | 0x01));
    s.push_back(f.number);
    s.push_back(f.last);
    s.insert(s.end(), body, body + size);
    const std::uint32_t crc = Crc32Mpeg(s.data(), s.size());
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<std::uint8_t>(crc >> shift));
    return s;
}

}  // namespace talvex::tables
