// Makes one multiplex's transport stream, packet after packet at the multiplex's useful
// bitrate, scheduled by the stream's own 27 MHz clock (the clock its PCRs carry): PCR first
// whenever a program's is due, then tables and elementary-stream packets in the order they
// fell due, null packets in between. Tables repeat at fixed intervals; each elementary
// stream's access units go out a fixed time before they are presented.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "Sky.h"
#include "TsPacket.h"
#include "es/Pes.h"
#include "psi/Section.h"

namespace tunersim::stream {

class ClipLibrary;

// Each PID's next continuity counter, kept by whoever emits the packets; a stream that
// switches multiplex keeps counting on, so that only the switch itself is a discontinuity.
struct ContinuityCounters {
    std::array<uint8_t, 8192> next{};
};

// Repetition intervals, in milliseconds (ETSI TR 101 290 asks for PAT and PMT within
// 0.5 s, SDT and EIT present/following within 2 s, NIT within 10 s, TDT within 30 s; ATSC
// A/65 for MGT 150 ms, VCT 400 ms, STT 1 s), and the PCR's (40 ms at most).
struct Repetition {
    static constexpr uint32_t kPatMs = 100;
    static constexpr uint32_t kPmtMs = 100;
    static constexpr uint32_t kSdtMs = 500;
    static constexpr uint32_t kEitMs = 1000;
    static constexpr uint32_t kNitMs = 2000;
    static constexpr uint32_t kTdtMs = 5000;
    static constexpr uint32_t kTotMs = 5000;
    static constexpr uint32_t kMgtMs = 150;
    static constexpr uint32_t kVctMs = 400;
    static constexpr uint32_t kSttMs = 1000;
    static constexpr uint32_t kPcrMs = 30;
};

class Multiplexer {
public:
    // startUnixMs: the wall-clock time of the first packet, for the time and event tables.
    // discontinuity: the first PCR of each program says that the time base is new.
    Multiplexer(const sky::Multiplex& multiplex, ClipLibrary& clips, int64_t startUnixMs,
                ContinuityCounters& counters, bool discontinuity);

    // Writes the next `count` packets (count * 188 bytes).
    void Make(uint8_t* out, std::size_t count);

    const sky::Multiplex& Definition() const { return multiplex_; }
    uint64_t Bitrate() const { return bitrate_; }
    uint64_t PacketsMade() const { return made_; }
    // The stream's clock at the next packet: 27 MHz ticks since the first.
    uint64_t Clock() const { return clock_; }

private:
    enum class TableKind { Fixed, Eit, Tdt, Tot, Stt };
    struct Table {
        TableKind kind;
        uint16_t pid;
        uint64_t interval;         // 27 MHz ticks
        uint64_t due;
        const sky::Service* service;
        std::vector<Packet> packets;  // Fixed tables: made once
    };
    struct Program {
        uint16_t pcrPid;
        uint64_t due;
        bool first;
    };
    struct Elementary {
        uint16_t pid;
        uint64_t lead90k;          // how long before its presentation a unit goes out
        ElementaryPlayer player;
        uint64_t due;              // 27 MHz clock at which the next unit goes out
    };

    void AddTable(TableKind kind, uint16_t pid, uint32_t intervalMs, std::vector<Packet> packets,
                  const sky::Service* service = nullptr);
    void Schedule();
    void Queue(const std::vector<Packet>& packets);
    // The sections of a table that is written anew each time (it tells the time).
    std::vector<psi::Section> TimedSections(const Table& table) const;
    void QueueTable(const Table& table);
    void WritePcr(uint8_t* out, Program& program);
    int64_t UnixSecondsNow() const;

    const sky::Multiplex& multiplex_;
    ContinuityCounters& counters_;
    int64_t startUnixMs_;
    uint64_t bitrate_;
    uint64_t tickQuotient_, tickRemainder_;  // 27 MHz ticks per packet, as quotient and remainder
    uint64_t clock_ = 0, clockRemainder_ = 0;
    uint64_t made_ = 0;
    uint64_t nextDue_ = 0;
    bool discontinuity_;

    std::vector<Table> tables_;
    std::vector<Program> programs_;
    std::vector<Elementary> streams_;
    std::deque<std::size_t> pcrPending_;     // programs whose PCR is due, in the order it fell due
    std::vector<Packet> fifo_;               // packets waiting for a slot, oldest at head_
    std::size_t head_ = 0;
    std::vector<Packet> scratch_;
    std::vector<uint8_t> pes_;
    Packet null_{};
};

}  // namespace tunersim::stream
