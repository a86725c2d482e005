#include "ServiceFilter.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "AtscSections.h"
#include "DvbSiSections.h"
#include "ProgramSections.h"
#include "SectionBytes.h"
#include "SectionWriter.h"
#include "TsPacketView.h"

namespace talvex::tables {

namespace {

const Service& FindService(const Multiplex& multiplex, std::uint16_t serviceId) {
    for (const Service& s : multiplex.services)
        if (s.id == serviceId) return s;
    throw std::invalid_argument("the multiplex has no service " + std::to_string(serviceId));
}

bool IsEitOfThisStream(std::uint8_t tableId) {
    // present/following actual (0x4E) and schedule actual (0x50..0x5F)
    return tableId == kEitPresentFollowingActualTableId || (tableId >= 0x50 && tableId <= 0x5F);
}

bool IsEitOfOtherStreams(std::uint8_t tableId) { return tableId == 0x4F || (tableId >= 0x60 && tableId <= 0x6F); }

}  // namespace

ServiceFilter::ServiceFilter(const Multiplex& multiplex, std::uint16_t serviceId)
    : serviceId_(serviceId),
      transportStreamId_(multiplex.transportStreamId),
      dvb_(multiplex.standard == Standard::Dvb),
      keep_(8192, false) {
    const Service& service = FindService(multiplex, serviceId);
    pmtPid_ = service.pmtPid;
    pids_ = {kPatPid, service.pmtPid};
    if (service.pcrPid != kNullPid) pids_.push_back(service.pcrPid);
    for (const CaDescriptor& ca : service.ca) pids_.push_back(ca.pid);
    for (const ElementaryStream& es : service.streams) {
        pids_.push_back(es.pid);
        for (const CaDescriptor& ca : es.ca) pids_.push_back(ca.pid);
    }
    if (dvb_)
        pids_.insert(pids_.end(), {kSdtPid, kEitPid, kTdtPid});
    else
        pids_.push_back(kAtscBasePid);
    std::sort(pids_.begin(), pids_.end());
    pids_.erase(std::unique(pids_.begin(), pids_.end()), pids_.end());
    for (std::uint16_t pid : pids_) keep_[pid & 0x1FFF] = true;
}

bool ServiceFilter::Keeps(std::uint16_t pid) const { return pid < keep_.size() && keep_[pid]; }

ServiceFilter::Rewritten* ServiceFilter::RewrittenOf(std::uint16_t pid) {
    if (pid == kPatPid) return &pat_;
    if (!dvb_) return nullptr;
    if (pid == kSdtPid) return &sdt_;
    if (pid == kEitPid) return &eit_;
    return nullptr;
}

std::vector<std::uint8_t> ServiceFilter::PatSection() const {
    const std::uint8_t body[] = {static_cast<std::uint8_t>(serviceId_ >> 8), static_cast<std::uint8_t>(serviceId_),
                                 static_cast<std::uint8_t>(0xE0 | pmtPid_ >> 8), static_cast<std::uint8_t>(pmtPid_)};
    LongSectionFields f;
    f.tableId = kPatTableId;
    f.extension = transportStreamId_;
    f.version = patVersion_;
    return MakeLongSection(f, body, sizeof body);
}

std::vector<std::uint8_t> ServiceFilter::Rewrite(std::uint16_t pid, const std::uint8_t* section, std::size_t size) {
    const std::uint8_t tableId = section[0];
    const auto h = ReadLongSection(section, size);
    if (pid == kPatPid) {
        if (tableId != kPatTableId || !h || !h->current) return {};
        patVersion_ = h->version;
        return PatSection();
    }
    if (pid == kSdtPid && tableId == kSdtActualTableId) {
        // The SDT actual that describes only this service, from the section that has it.
        if (!h || !h->current) return {};
        ByteReader body = h->body;
        const std::uint8_t* start = body.Here();
        body.Skip(3);  // original_network_id, reserved_future_use
        std::vector<std::uint8_t> out(start, start + 3);
        while (body.Ok() && body.Left() >= 5) {
            const std::uint8_t* entry = body.Here();
            const std::uint16_t id = body.U16();
            body.Skip(1);
            const std::size_t length = body.U16() & 0x0FFF;
            body.Skip(length);
            if (!body.Ok()) return {};
            if (id != serviceId_) continue;
            out.insert(out.end(), entry, entry + 5 + length);
            LongSectionFields f;
            f.tableId = tableId;
            f.extension = h->extension;
            f.version = h->version;
            f.privateIndicator = true;
            return MakeLongSection(f, out.data(), out.size());
        }
        return {};
    }
    if (pid == kEitPid && (IsEitOfThisStream(tableId) || IsEitOfOtherStreams(tableId))) {
        // Only this service's events; the other multiplexes' are about other services.
        if (IsEitOfOtherStreams(tableId) || !h || h->extension != serviceId_) return {};
    }
    return std::vector<std::uint8_t>(section, section + size);  // any other table as it is
}

std::size_t ServiceFilter::Filter(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = in + i * kPacketSize;
        if (p[0] != kSyncByte) continue;
        const std::uint16_t pid = static_cast<std::uint16_t>((p[1] & 0x1F) << 8 | p[2]);
        if (!keep_[pid]) continue;
        Rewritten* rewritten = RewrittenOf(pid);
        if (rewritten == nullptr) {
            std::copy(p, p + kPacketSize, out + written++ * kPacketSize);
            continue;
        }
        const PacketView packet = ReadPacket(p);
        if (packet.valid && !packet.transportError) {
            rewritten->assembler.Feed(packet, rewritten->counts, [&](const std::uint8_t* section, std::size_t size) {
                rewritten->repacker.Push(Rewrite(pid, section, size));
            });
        }
        if (rewritten->repacker.Pop(out + written * kPacketSize)) ++written;
    }
    return written;
}

void ServiceFilter::WritePat(std::uint8_t* out) {
    pat_.repacker.Push(PatSection());
    pat_.repacker.Pop(out);
}

}  // namespace talvex::tables
