// ATSC A/65 PSIP: the Master Guide Table and the Terrestrial Virtual Channel Table.
#include "Descriptors.h"
#include "SectionLoop.h"
#include "Tables.h"
#include "TsPacket.h"
#include "Utf8.h"

namespace tunersim::stream::psi {
namespace {

constexpr uint8_t kMgtTableId = 0xC7;
constexpr uint8_t kTvctTableId = 0xC8;
constexpr uint16_t kTableTypeTvctCurrent = 0x0000;
constexpr uint8_t kModulation8Vsb = 0x04;
constexpr uint8_t kServiceDigitalTelevision = 0x02;
constexpr uint8_t kTvctVersion = 0;
constexpr std::size_t kShortNameUnits = 7;

// short_name: seven UTF-16 code units, padded with 0x0000; a character outside the
// basic plane or a byte that is not UTF-8 becomes '?'.
void PutShortName(Bytes& out, std::string_view name) {
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < name.size() && units < kShortNameUnits; ++units) {
        const Utf8Char c = NextUtf8Char(name, pos);
        Put16(out, c.valid && c.value <= 0xFFFF ? static_cast<unsigned>(c.value) : '?');
        pos += c.bytes;
    }
    for (; units < kShortNameUnits; ++units) Put16(out, 0);
}

Bytes ChannelEntry(const sky::Multiplex& m, const sky::Service& s) {
    Bytes entry;
    PutShortName(entry, s.shortName);
    const unsigned major = s.majorChannel & 0x3FF;
    const unsigned minor = s.minorChannel & 0x3FF;
    Put24(entry, 0xF00000u | major << 10 | minor);
    Put8(entry, kModulation8Vsb);
    Put32(entry, 0);  // carrier_frequency: deprecated, 0
    Put16(entry, m.transportStreamId);
    Put16(entry, s.id);
    // ETM_location 0, access_controlled, hidden 0, reserved, hide_guide 0, reserved.
    Put16(entry, (s.scrambled ? 1u : 0u) << 13 | 0x3u << 10 | 0x7u << 6 | kServiceDigitalTelevision);
    Put16(entry, s.id);  // source_id: the program number, unique in the multiplex
    Bytes descriptors;
    PutServiceLocationDescriptor(descriptors, s);
    Put16(entry, 0xFC00 | (descriptors.size() & 0x03FF));
    Append(entry, descriptors);
    return entry;
}

}  // namespace

std::vector<Section> AtscTvct(const sky::Multiplex& m) {
    if (!sky::IsAtsc(m)) return {};
    SectionLoop loop;
    loop.header = {kTvctTableId, m.transportStreamId, kTvctVersion};
    loop.header.privateIndicator = true;
    loop.counter = SectionLoop::Counter::Count8;
    loop.firstPrefix = {0x00, 0x00};  // protocol_version, num_channels_in_section
    loop.prefix = loop.firstPrefix;
    Put16(loop.suffix, 0xFC00);       // additional_descriptors_length 0
    std::vector<Bytes> entries;
    for (const auto& s : m.services) entries.push_back(ChannelEntry(m, s));
    return SpreadOverSections(loop, entries);
}

std::vector<Section> AtscMgt(const sky::Multiplex& m) {
    if (!sky::IsAtsc(m)) return {};
    uint32_t tvctBytes = 0;
    for (const auto& section : AtscTvct(m)) tvctBytes += static_cast<uint32_t>(section.size());
    Bytes body;
    Put8(body, 0);   // protocol_version
    Put16(body, 1);  // tables_defined
    Put16(body, kTableTypeTvctCurrent);
    Put16(body, 0xE000 | kAtscBasePid);
    Put8(body, 0xE0 | kTvctVersion);
    Put32(body, tvctBytes);
    Put16(body, 0xF000);  // table_type_descriptors_length 0
    Put16(body, 0xF000);  // descriptors_length 0
    LongHeader header{kMgtTableId, 0x0000};
    header.privateIndicator = true;
    return {LongSection(header, body)};
}

}  // namespace tunersim::stream::psi
