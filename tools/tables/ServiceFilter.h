// One service out of a multiplex: the PIDs it needs (for a tuner's PID filter) and a
// packet filter that keeps them, so that the result is a valid single-program transport
// stream. Packets of the service's PMT, elementary streams, PCR and ECMs and of the time
// tables pass unchanged; the PAT becomes one naming only the service, the SDT actual one
// describing only it and the EIT only its events (readers such as ffprobe make a program
// of every service an SDT names), each with continuity counters of its own and the
// source's table versions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MultiplexTables.h"
#include "SectionAssembler.h"
#include "SectionRepacker.h"

namespace talvex::tables {

class ServiceFilter {
public:
    // Throws std::invalid_argument when the multiplex has no service `serviceId`.
    ServiceFilter(const Multiplex& multiplex, std::uint16_t serviceId);

    // PAT, the service's PMT, its elementary streams, PCR and ECM PIDs (a module needs the
    // ECMs to descramble); DVB: SDT/BAT 0x11, EIT 0x12, TDT/TOT 0x14; ATSC: 0x1FFB.
    // Sorted, each once.
    const std::vector<std::uint16_t>& Pids() const { return pids_; }
    bool Keeps(std::uint16_t pid) const;

    // Filters `count` packets into `out` (room for `count` packets); returns how many
    // packets it wrote, never more than it read: a packet of a rewritten table's PID is
    // replaced by the next packet of the rewritten table, if there is one.
    std::size_t Filter(const std::uint8_t* in, std::size_t count, std::uint8_t* out);

    // Writes a PAT packet of the filter's own (its continuity counter included): for a
    // file to begin with one before the source's first PAT arrives.
    void WritePat(std::uint8_t* out);

private:
    struct Rewritten {
        explicit Rewritten(std::uint16_t pid) : repacker(pid) {}
        SectionAssembler assembler;
        AssemblyCounts counts;
        SectionRepacker repacker;
    };
    // The section that replaces `section` (PID 0, 0x11 or 0x12); empty to drop it.
    std::vector<std::uint8_t> Rewrite(std::uint16_t pid, const std::uint8_t* section, std::size_t size);
    std::vector<std::uint8_t> PatSection() const;
    Rewritten* RewrittenOf(std::uint16_t pid);

    std::uint16_t serviceId_;
    std::uint16_t pmtPid_ = 0;
    std::uint16_t transportStreamId_;
    bool dvb_;
    std::vector<std::uint16_t> pids_;
    std::vector<bool> keep_;
    std::uint8_t patVersion_ = 0;  // the source PAT's, as last read
    Rewritten pat_{0x0000};
    Rewritten sdt_{0x0011};
    Rewritten eit_{0x0012};
};

}  // namespace talvex::tables
