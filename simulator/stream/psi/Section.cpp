#include "Section.h"

#include "SectionWriter.h"

namespace tunersim::stream::psi {
namespace {

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

Section LongSection(const LongHeader& header, std::span<const uint8_t> body) {
    talvex::tables::LongSectionFields fields;
    fields.tableId = header.tableId;
    fields.extension = header.extension;
    fields.version = header.version;
    fields.number = header.sectionNumber;
    fields.last = header.lastSectionNumber;
    fields.privateIndicator = header.privateIndicator;
    return talvex::tables::MakeLongSection(fields, body.data(), body.size());
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
