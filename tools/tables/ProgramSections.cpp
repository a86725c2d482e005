#include "ProgramSections.h"

namespace talvex::tables {
namespace {
constexpr std::uint8_t kCaDescriptor = 0x09;
constexpr std::uint8_t kLanguageDescriptor = 0x0A;
}  // namespace

std::optional<std::vector<PatEntry>> ParsePat(ByteReader body) {
    if (body.Left() % 4 != 0) return std::nullopt;
    std::vector<PatEntry> entries;
    while (!body.AtEnd()) {
        PatEntry e;
        e.program = body.U16();
        e.pid = body.U16() & 0x1FFF;
        entries.push_back(e);
    }
    return entries;
}

std::optional<CaDescriptor> ParseCaDescriptor(ByteReader payload) {
    CaDescriptor ca;
    ca.systemId = payload.U16();
    ca.pid = payload.U16() & 0x1FFF;
    if (!payload.Ok()) return std::nullopt;
    return ca;
}

std::optional<PmtContent> ParsePmt(ByteReader body) {
    PmtContent pmt;
    pmt.pcrPid = body.U16() & 0x1FFF;
    ByteReader programInfo = TakeLoop(body, 0x0FFF);
    if (!body.Ok()) return std::nullopt;
    bool ok = ForEachDescriptor(programInfo, [&](std::uint8_t tag, ByteReader payload) {
        if (tag == kCaDescriptor)
            if (auto ca = ParseCaDescriptor(payload)) pmt.ca.push_back(*ca);
    });
    while (ok && !body.AtEnd()) {
        ElementaryStream es;
        es.streamType = body.U8();
        es.pid = body.U16() & 0x1FFF;
        ByteReader info = TakeLoop(body, 0x0FFF);
        if (!body.Ok()) return std::nullopt;
        ok = ForEachDescriptor(info, [&](std::uint8_t tag, ByteReader payload) {
            es.descriptorTags.push_back(tag);
            if (tag == kCaDescriptor) {
                if (auto ca = ParseCaDescriptor(payload)) es.ca.push_back(*ca);
            } else if (tag == kLanguageDescriptor && es.language.empty() && payload.Left() >= 4) {
                es.language = ReadLanguageCode(payload);
            }
        });
        pmt.streams.push_back(std::move(es));
    }
    if (!ok) return std::nullopt;
    return pmt;
}

}  // namespace talvex::tables
