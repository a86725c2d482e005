#include "TableReader.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "AtscSections.h"
#include "DvbSiSections.h"
#include "ProgramSections.h"
#include "SectionAssembler.h"
#include "SubTable.h"
#include "TsPacketView.h"

namespace talvex::tables {
namespace {

constexpr std::uint16_t kTvctCurrentType = 0x0000;

struct PmtPart {
    PmtContent content;
    std::vector<std::uint8_t> raw;
};

struct Program {
    std::uint16_t pmtPid = 0;
    SubTable<PmtPart> pmt;
};

std::string ServiceText(const char* what, std::uint16_t id) {
    char text[64];
    std::snprintf(text, sizeof text, "the %s of service 0x%04X", what, id);
    return text;
}

}  // namespace

struct TableReader::State {
    Needs needs;
    ReaderCounts counts;
    AssemblyCounts assembly;
    std::uint64_t badParses = 0;  // sections with a right CRC whose contents do not fit them
    std::map<std::uint16_t, SectionAssembler> assemblers;  // the PIDs read, by PID
    enum class Family { Unknown, Dvb, Atsc } family = Family::Unknown;

    SubTable<std::vector<PatEntry>> pat;
    std::uint16_t nitPid = kNitPid;
    std::map<std::uint16_t, Program> programs;  // by program_number, as the PAT names them
    SubTable<SdtContent> sdt;
    SubTable<NitContent> nit;
    std::map<std::uint16_t, SubTable<EitContent>> eit;  // by service_id
    SubTable<std::vector<MgtTable>> mgt;
    SubTable<std::vector<VirtualChannel>> tvct;
    std::optional<std::int64_t> utc;

    void UpdatePids();
    void OnSection(std::uint16_t pid, const std::uint8_t* section, std::size_t size);
    void OnPat(const LongSection& h);
    void OnPmt(std::uint16_t pid, const LongSection& h, const std::uint8_t* section, std::size_t size);
    template <class Content, class Parse>
    bool Take(SubTable<Content>& table, const LongSection& h, Parse&& parse);

    bool ListsTvct() const;
    std::set<std::uint16_t> EitServices() const;
    std::vector<std::string> Missing() const;
};

template <class Content, class Parse>
bool TableReader::State::Take(SubTable<Content>& table, const LongSection& h, Parse&& parse) {
    if (table.Has(h)) return false;
    std::optional<Content> content = parse(h.body);
    if (!content) {
        ++badParses;
        return false;
    }
    return table.Put(h, std::move(*content));
}

void TableReader::State::UpdatePids() {
    std::set<std::uint16_t> wanted = {kPatPid, kSdtPid, kTdtPid, kAtscBasePid};
    if (needs.nit) wanted.insert(nitPid);
    if (needs.eitPresentFollowing) wanted.insert(kEitPid);
    for (const auto& [number, program] : programs) wanted.insert(program.pmtPid);
    // Keep the assemblers of PIDs still read (a section may be half in), add the new ones.
    for (auto it = assemblers.begin(); it != assemblers.end();)
        it = wanted.count(it->first) ? std::next(it) : assemblers.erase(it);
    for (std::uint16_t pid : wanted) assemblers.try_emplace(pid);
}

void TableReader::State::OnPat(const LongSection& h) {
    if (!Take(pat, h, [](ByteReader body) { return ParsePat(body); })) return;
    // A complete PAT (a new one): follow its programs and its network PID.
    std::map<std::uint16_t, Program> next;
    nitPid = kNitPid;
    for (const auto& part : pat.Done()) {
        for (const PatEntry& e : part) {
            if (e.program == 0) {
                nitPid = e.pid;
                continue;
            }
            auto old = programs.find(e.program);
            if (old != programs.end() && old->second.pmtPid == e.pid)
                next[e.program] = std::move(old->second);
            else
                next[e.program].pmtPid = e.pid;
        }
    }
    programs = std::move(next);
    for (auto it = eit.begin(); it != eit.end();)
        it = programs.count(it->first) ? std::next(it) : eit.erase(it);
    UpdatePids();
}

void TableReader::State::OnPmt(std::uint16_t pid, const LongSection& h, const std::uint8_t* section,
                               std::size_t size) {
    auto it = programs.find(h.extension);
    if (it == programs.end() || it->second.pmtPid != pid) return;  // not a program the PAT names here
    Take(it->second.pmt, h, [&](ByteReader body) -> std::optional<PmtPart> {
        auto content = ParsePmt(body);
        if (!content) return std::nullopt;
        return PmtPart{std::move(*content), std::vector<std::uint8_t>(section, section + size)};
    });
}

void TableReader::State::OnSection(std::uint16_t pid, const std::uint8_t* section, std::size_t size) {
    const std::uint8_t tableId = section[0];
    if (pid == kTdtPid && (tableId == kTdtTableId || tableId == kTotTableId)) {
        if (auto t = ParseDvbTime(section, size)) utc = t;
        else ++badParses;
        return;
    }
    const auto h = ReadLongSection(section, size);
    if (!h || !h->current) return;  // other short sections, and tables announced for later
    if (pid == kPatPid && tableId == kPatTableId) {
        OnPat(*h);
    } else if (tableId == kPmtTableId) {
        OnPmt(pid, *h, section, size);
    } else if (pid == kSdtPid && tableId == kSdtActualTableId) {
        if (family != Family::Atsc) family = Family::Dvb;
        Take(sdt, *h, [](ByteReader body) { return ParseSdt(body); });
    } else if (pid == nitPid && needs.nit && tableId == kNitActualTableId) {
        Take(nit, *h, [](ByteReader body) { return ParseNit(body); });
    } else if (pid == kEitPid && needs.eitPresentFollowing && tableId == kEitPresentFollowingActualTableId) {
        if (programs.count(h->extension)) Take(eit[h->extension], *h, [](ByteReader body) { return ParseEit(body); });
    } else if (pid == kAtscBasePid && tableId == kMgtTableId) {
        family = Family::Atsc;
        Take(mgt, *h, [](ByteReader body) { return ParseMgt(body); });
    } else if (pid == kAtscBasePid && tableId == kTvctTableId) {
        family = Family::Atsc;
        Take(tvct, *h, [](ByteReader body) { return ParseTvct(body); });
    } else if (pid == kAtscBasePid && tableId == kSttTableId) {
        if (auto t = ParseStt(h->body)) utc = t;
        else ++badParses;
    }
}

bool TableReader::State::ListsTvct() const {
    for (const auto& part : mgt.Done())
        for (const MgtTable& t : part)
            if (t.type == kTvctCurrentType) return true;
    return false;
}

// The services whose EIT present/following is waited for: those of the PAT that the SDT
// says have one.
std::set<std::uint16_t> TableReader::State::EitServices() const {
    std::set<std::uint16_t> ids;
    for (const auto& part : sdt.Done())
        for (const SdtEntry& e : part.services)
            if (e.eitPresentFollowing && programs.count(e.serviceId)) ids.insert(e.serviceId);
    return ids;
}

std::vector<std::string> TableReader::State::Missing() const {
    std::vector<std::string> missing;
    if (!pat.Complete()) {
        missing.push_back("the PAT");
    } else {
        for (const auto& [number, program] : programs)
            if (!program.pmt.Complete()) missing.push_back(ServiceText("PMT", number));
    }
    switch (family) {
    case Family::Unknown: missing.push_back("the SDT or the MGT"); break;
    case Family::Dvb:
        if (!sdt.Complete()) missing.push_back("the SDT");
        break;
    case Family::Atsc:
        if (!mgt.Complete()) missing.push_back("the MGT");
        else if (ListsTvct() && !tvct.Complete()) missing.push_back("the TVCT");
        break;
    }
    if (family != Family::Atsc) {
        if (needs.nit && !nit.Complete()) missing.push_back("the NIT");
        if (needs.eitPresentFollowing) {
            if (!sdt.Complete()) {
                if (family == Family::Dvb) missing.push_back("the EIT present/following");
            } else {
                for (std::uint16_t id : EitServices()) {
                    auto it = eit.find(id);
                    if (it == eit.end() || !it->second.Complete())
                        missing.push_back(ServiceText("EIT present/following", id));
                }
            }
        }
    }
    return missing;
}

TableReader::TableReader(Needs needs) : state_(std::make_unique<State>()) {
    state_->needs = needs;
    state_->UpdatePids();
}
TableReader::~TableReader() = default;
TableReader::TableReader(TableReader&&) noexcept = default;
TableReader& TableReader::operator=(TableReader&&) noexcept = default;

void TableReader::Feed(const std::uint8_t* packets, std::size_t count, bool discontinuity) {
    State& s = *state_;
    if (discontinuity)
        for (auto& [pid, assembler] : s.assemblers) assembler.Reset();
    for (std::size_t i = 0; i < count; ++i) {
        const PacketView packet = ReadPacket(packets + i * kPacketSize);
        ++s.counts.packets;
        if (!packet.valid) {
            ++s.counts.badPackets;
            continue;
        }
        if (packet.transportError) {
            ++s.counts.transportErrors;
            continue;
        }
        auto it = s.assemblers.find(packet.pid);
        if (it == s.assemblers.end()) continue;
        const std::uint16_t pid = packet.pid;
        // A section can change which PIDs are read (a new PAT), so the assembler is
        // looked up again for each packet rather than kept across them.
        it->second.Feed(packet, s.assembly, [&s, pid](const std::uint8_t* section, std::size_t size) {
            s.OnSection(pid, section, size);
        });
    }
    s.counts.continuityGaps = s.assembly.continuityGaps;
    s.counts.crcErrors = s.assembly.crcErrors;
    s.counts.badSections = s.assembly.badSections + s.badParses;
}

bool TableReader::Complete() const { return state_->Missing().empty(); }

std::string TableReader::MissingText() const {
    std::string text;
    for (const std::string& m : state_->Missing()) {
        if (!text.empty()) text += ", ";
        text += m;
    }
    return text;
}

namespace {

void AddCa(Service& service, const std::vector<CaDescriptor>& ca) {
    for (const CaDescriptor& d : ca) service.caSystemIds.push_back(d.systemId);
}

}  // namespace

Multiplex TableReader::Result() const {
    const State& s = *state_;
    Multiplex m;
    m.standard = s.family == State::Family::Atsc ? Standard::Atsc : Standard::Dvb;
    m.utcUnix = s.utc;
    // The PAT decides which services there are; before it, the SDT or the TVCT.
    const bool patKnown = !s.pat.Done().empty();
    if (patKnown) m.transportStreamId = s.pat.DoneExtension();
    std::map<std::uint16_t, Service> services;
    for (const auto& [number, program] : s.programs) {
        Service& service = services[number];
        service.id = number;
        service.pmtPid = program.pmtPid;
        const auto& pmt = program.pmt.Done();
        if (pmt.empty()) continue;
        const PmtPart& part = pmt.front();
        service.pcrPid = part.content.pcrPid;
        service.ca = part.content.ca;
        service.streams = part.content.streams;
        service.pmtSection = part.raw;
        AddCa(service, service.ca);
        for (const ElementaryStream& es : service.streams) AddCa(service, es.ca);
    }
    const auto serviceFor = [&](std::uint16_t id) -> Service* {
        if (patKnown && !services.count(id)) return nullptr;
        Service& service = services[id];
        service.id = id;
        return &service;
    };
    for (const SdtContent& part : s.sdt.Done()) {
        m.originalNetworkId = part.originalNetworkId;
        if (!patKnown) m.transportStreamId = s.sdt.DoneExtension();
        for (const SdtEntry& e : part.services) {
            Service* service = serviceFor(e.serviceId);
            if (service == nullptr) continue;
            service->name = e.name;
            service->provider = e.provider;
            service->type = e.type;
            service->freeCaMode = e.freeCaMode;
            service->runningStatus = e.runningStatus;
        }
    }
    for (const auto& part : s.tvct.Done()) {
        for (const VirtualChannel& c : part) {
            // A TVCT may list the channels of other multiplexes too.
            if (patKnown && c.transportStreamId != m.transportStreamId) continue;
            Service* service = serviceFor(c.programNumber);
            if (service == nullptr) continue;
            service->name = c.shortName;
            service->type = c.serviceType;
            service->majorChannel = c.major;
            service->minorChannel = c.minor;
            service->hidden = c.hidden;
            service->freeCaMode = service->freeCaMode || c.accessControlled;
        }
    }
    for (const auto& [id, table] : s.eit) {
        auto it = services.find(id);
        if (it == services.end()) continue;
        const auto& sections = table.Done();
        // Section 0 carries the present event, section 1 the following one.
        if (sections.size() > 0 && !sections[0].events.empty()) it->second.present = sections[0].events.front();
        if (sections.size() > 1 && !sections[1].events.empty()) it->second.following = sections[1].events.front();
    }
    if (!s.nit.Done().empty()) {
        m.networkId = s.nit.DoneExtension();
        for (const NitContent& part : s.nit.Done()) {
            if (!part.networkName.empty()) m.networkName = part.networkName;
            m.transports.insert(m.transports.end(), part.transports.begin(), part.transports.end());
        }
    }
    for (auto& [id, service] : services) {
        auto& ids = service.caSystemIds;
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        service.scrambled = !ids.empty() || service.freeCaMode;
        m.services.push_back(std::move(service));
    }
    return m;
}

const ReaderCounts& TableReader::Counts() const { return state_->counts; }

}  // namespace talvex::tables
