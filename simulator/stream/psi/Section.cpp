#include "Section.h"

#include <array>

namespace tunersim::stream::psi {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();

void AppendCrc(Section& section) {
    const uint32_t crc = Crc32Mpeg(section.data(), section.size());
    for (int shift = 24; shift >= 0; shift -= 8) section.push_back(static_cast<uint8_t>(crc >> shift));
}

// section_length counts the bytes after its own field; 12 bits, the upper two of them 0.
void PutLength(Section& section) {
    const std::size_t length = section.size() - 3;
    section[1] = static_cast<uint8_t>((section[1] & 0xF0) | (length >> 8 & 0x0F));
    section[2] = static_cast<uint8_t>(length);
}

}  // namespace

uint32_t Crc32Mpeg(const uint8_t* data, std::size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) crc = crc << 8 ^ kCrcTable[(crc >> 24 ^ data[i]) & 0xFF];
    return crc;
}

Section LongSection(const LongHeader& header, std::span<const uint8_t> body) {
    Section section;
    section.reserve(body.size() + kLongSectionOverhead);
    section.push_back(header.tableId);
    // section_syntax_indicator 1, private_indicator, reserved '11', then the length.
    section.push_back(static_cast<uint8_t>(0x80 | (header.privateIndicator ? 0x40 : 0) | 0x30));
    section.push_back(0);
    section.push_back(static_cast<uint8_t>(header.extension >> 8));
    section.push_back(static_cast<uint8_t>(header.extension));
    // reserved '11', version_number, current_next_indicator 1.
    section.push_back(static_cast<uint8_t>(0xC0 | (header.version & 0x1F) << 1 | 0x01));
    section.push_back(header.sectionNumber);
    section.push_back(header.lastSectionNumber);
    section.insert(section.end(), body.begin(), body.end());
    section.resize(section.size() + 4);  // the CRC_32 counts in section_length
    PutLength(section);
    section.resize(section.size() - 4);
    AppendCrc(section);
    return section;
}

Section ShortSection(uint8_t tableId, std::span<const uint8_t> body, bool withCrc) {
    Section section;
    section.reserve(3 + body.size() + 4);
    section.push_back(tableId);
    // section_syntax_indicator 0, reserved_future_use '1', reserved '11'.
    section.push_back(0x70);
    section.push_back(0);
    section.insert(section.end(), body.begin(), body.end());
    if (withCrc) section.resize(section.size() + 4);
    PutLength(section);
    if (withCrc) {
        section.resize(section.size() - 4);
        AppendCrc(section);
    }
    return section;
}

}  // namespace tunersim::stream::psi
