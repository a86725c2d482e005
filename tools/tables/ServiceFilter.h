// One service out of a multiplex: the PIDs it needs (for a tuner's PID filter) and a
// packet filter that keeps them, replacing the PAT with one naming only that program, so
// that the result is a valid single-program transport stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MultiplexTables.h"

namespace talvex::tables {

class ServiceFilter {
public:
    // Throws std::invalid_argument when the multiplex has no service `serviceId`.
    ServiceFilter(const Multiplex& multiplex, std::uint16_t serviceId);

    // PAT, the service's PMT, its elementary streams, PCR and ECM PIDs; DVB: SDT/BAT
    // 0x11, EIT 0x12, TDT/TOT 0x14; ATSC: 0x1FFB. Sorted, each once.
    const std::vector<std::uint16_t>& Pids() const { return pids_; }
    bool Keeps(std::uint16_t pid) const;

    // Filters `count` packets into `out` (room for `count` packets); returns how many
    // packets it wrote. The PAT's packets are replaced by the filter's own PAT, one packet
    // for each PAT section the source begins; everything not needed is dropped.
    std::size_t Filter(const std::uint8_t* in, std::size_t count, std::uint8_t* out);

    // The PAT packet the filter writes next (continuity counter included), for tests and
    // for writing one before the first source PAT arrives.
    void WritePat(std::uint8_t* out);

private:
    std::uint16_t serviceId_;
    std::uint16_t pmtPid_;
    std::uint16_t transportStreamId_;
    std::vector<std::uint16_t> pids_;
    std::vector<bool> keep_;
    std::uint8_t continuity_ = 0;
    std::uint8_t version_ = 0;
    // The source PAT's version, read from the section each PAT packet begins.
};

}  // namespace talvex::tables
