#include "ServiceFilter.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace talvex::tables {

namespace {

constexpr std::uint16_t kPatPid = 0x0000;
constexpr std::uint16_t kSdtPid = 0x0011;
constexpr std::uint16_t kEitPid = 0x0012;
constexpr std::uint16_t kTdtPid = 0x0014;
constexpr std::uint16_t kPsipPid = 0x1FFB;
constexpr std::uint16_t kNullPid = 0x1FFF;

const Service& FindService(const Multiplex& multiplex, std::uint16_t serviceId) {
    for (const Service& s : multiplex.services)
        if (s.id == serviceId) return s;
    throw std::invalid_argument("the multiplex has no service " + std::to_string(serviceId));
}

}  // namespace

ServiceFilter::ServiceFilter(const Multiplex& multiplex, std::uint16_t serviceId)
    : serviceId_(serviceId), transportStreamId_(multiplex.transportStreamId), keep_(8192, false) {
    const Service& service = FindService(multiplex, serviceId);
    pmtPid_ = service.pmtPid;
    pids_ = {kPatPid, service.pmtPid};
    if (service.pcrPid != kNullPid) pids_.push_back(service.pcrPid);
    for (const CaDescriptor& ca : service.ca) pids_.push_back(ca.pid);
    for (const ElementaryStream& es : service.streams) {
        pids_.push_back(es.pid);
        for (const CaDescriptor& ca : es.ca) pids_.push_back(ca.pid);
    }
    if (multiplex.standard == Standard::Atsc) {
        pids_.push_back(kPsipPid);
    } else {
        pids_.insert(pids_.end(), {kSdtPid, kEitPid, kTdtPid});
    }
    std::sort(pids_.begin(), pids_.end());
    pids_.erase(std::unique(pids_.begin(), pids_.end()), pids_.end());
    for (std::uint16_t pid : pids_) keep_[pid & 0x1FFF] = true;
}

bool ServiceFilter::Keeps(std::uint16_t pid) const { return pid < keep_.size() && keep_[pid]; }

std::size_t ServiceFilter::Filter(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = in + i * 188;
        const std::uint16_t pid = static_cast<std::uint16_t>(((p[1] & 0x1F) << 8) | p[2]);
        if (pid == kPatPid || !keep_[pid]) continue;
        std::copy(p, p + 188, out + written * 188);
        ++written;
    }
    return written;
}

void ServiceFilter::WritePat(std::uint8_t* out) { std::fill(out, out + 188, 0xFF); }

}  // namespace talvex::tables
