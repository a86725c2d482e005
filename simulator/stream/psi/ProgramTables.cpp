// PAT and PMT (ISO/IEC 13818-1 2.4.4.3 and 2.4.4.8).
#include "Descriptors.h"
#include "SectionLoop.h"
#include "Tables.h"
#include "TsPacket.h"

namespace tunersim::stream::psi {
namespace {

constexpr uint8_t kPatTableId = 0x00;
constexpr uint8_t kPmtTableId = 0x02;

Bytes ProgramEntry(uint16_t program, uint16_t pid) {
    Bytes entry;
    Put16(entry, program);
    Put16(entry, 0xE000 | (pid & 0x1FFF));
    return entry;
}

Bytes StreamEntry(const sky::ElementaryStream& es, bool atsc) {
    Bytes entry;
    Put8(entry, StreamTypeOf(es.type, atsc));
    Put16(entry, 0xE000 | (es.pid & 0x1FFF));
    const auto infoLength = PutLength12(entry);
    const std::size_t infoStart = entry.size();
    if (es.type == sky::StreamType::Ac3Audio) {
        if (atsc)
            PutAtscAc3Descriptor(entry, es.language);
        else
            PutDvbAc3Descriptor(entry);
    }
    if (!es.language.empty()) PutLanguageDescriptor(entry, es.language);
    PatchLength12(entry, infoLength, entry.size() - infoStart);
    return entry;
}

}  // namespace

std::vector<Section> Pat(const sky::Multiplex& m) {
    SectionLoop loop;
    loop.header = {kPatTableId, m.transportStreamId};
    std::vector<Bytes> entries;
    if (!sky::IsAtsc(m)) entries.push_back(ProgramEntry(0, kNitPid));
    for (const auto& s : m.services) entries.push_back(ProgramEntry(s.id, s.pmtPid));
    return SpreadOverSections(loop, entries);
}

std::vector<Section> Pmt(const sky::Multiplex& m, const sky::Service& s) {
    Bytes body;
    Put16(body, 0xE000 | (s.pcrPid & 0x1FFF));
    const auto programInfoLength = PutLength12(body);
    if (s.scrambled) PutCaDescriptor(body, sky::kCaSystemId, s.ecmPid);
    PatchLength12(body, programInfoLength, body.size() - programInfoLength - 2);
    const bool atsc = sky::IsAtsc(m);
    for (const auto& es : s.streams) {
        const Bytes entry = StreamEntry(es, atsc);
        if (body.size() + entry.size() + kLongSectionOverhead > kMaxSectionSize) break;
        Append(body, entry);
    }
    return {LongSection({kPmtTableId, s.id}, body)};
}

}  // namespace tunersim::stream::psi
