// Cuts a byte stream into whole transport-stream packets (188 bytes, sync byte 0x47).
//
// Drivers deliver the stream in buffers of their own size: a packet may be split across
// two of them, and after an overflow or a retune a buffer may start in the middle of a
// packet or with bytes that belong to no packet. The aligner keeps the start of a split
// packet until its rest arrives, and after a break hunts for sync again: a position is
// taken as a packet boundary when three sync bytes follow each other 188 bytes apart.
// In sync, a packet is handed on only when the byte after it is a sync byte too, so that
// a packet cut short by lost bytes is not passed on spliced with the head of the next
// one; the last packet of a buffer waits for the next buffer's first byte. Bytes that
// belong to no whole packet are dropped and counted, never handed on.
//
// Packets are handed on in runs, in place in the caller's buffer where they lie whole in
// it, so a stream that keeps sync is copied only at the buffers' edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrel::stream {

inline constexpr std::size_t kPacketSize = 188;
inline constexpr std::uint8_t kSyncByte = 0x47;
// Sync bytes in a row, 188 bytes apart, that make a position a packet boundary.
inline constexpr std::size_t kSyncConfirmations = 3;

// Where the whole packets go.
class PacketOutput {
public:
    // `count` packets at `packets`, valid only during the call. `discontinuity`: these
    // packets do not follow the ones handed on before them directly (the buffer was
    // marked as a discontinuity, or bytes were dropped in between). Returns false to
    // stop: the aligner then hands on nothing more from the current push.
    virtual bool Packets(const std::uint8_t* packets, std::size_t count, bool discontinuity) = 0;

protected:
    ~PacketOutput() = default;
};

struct AlignerCounts {
    std::uint64_t buffers = 0;        // pushes, empty ones included
    std::uint64_t bytes = 0;          // bytes pushed
    std::uint64_t packets = 0;        // whole packets handed on
    std::uint64_t droppedBytes = 0;   // bytes that belonged to no whole packet
    std::uint64_t syncLosses = 0;     // times a packet boundary lacked its sync byte
    std::uint64_t discontinuities = 0;  // runs handed on with the discontinuity flag
};

class PacketAligner {
public:
    // Takes one buffer of the stream. `discontinuity`: the buffer does not continue the
    // one before; what is kept from before is finished as at the end of the stream
    // (Finish), and sync is hunted for afresh. Returns false when the output asked to stop.
    bool Push(const std::uint8_t* data, std::size_t size, bool discontinuity, PacketOutput& output);

    // The end of the stream: hands on the whole packets that wait for the byte after
    // them or for confirmation of sync, when each starts with a sync byte; drops what is
    // left, and starts over as for a new stream.
    bool Finish(PacketOutput& output);

    // Drops whatever is kept (counted) and starts over as for a new stream.
    void Reset();

    bool Locked() const { return locked_; }
    const AlignerCounts& Counts() const { return counts_; }

private:
    // Hands on the packets of a buffer while in sync. Returns how many bytes of it were
    // used; fewer than `size` when sync was lost at that offset.
    std::size_t ConsumeLocked(const std::uint8_t* data, std::size_t size, PacketOutput& output);
    // The output stopped: the rest of the buffer is dropped, sync hunted for afresh.
    std::size_t Abandon(std::size_t rest, std::size_t used);
    // Drops the bytes before the first position in hunt_ that may be a boundary. Returns
    // true when that position is confirmed; false when hunt_ holds too few bytes yet to
    // decide (it then keeps only those that may still begin one).
    bool FindBoundary();
    bool Deliver(const std::uint8_t* packets, std::size_t count, PacketOutput& output);
    void Drop(std::size_t bytes);

    bool locked_ = false;
    bool stopped_ = false;
    bool flagNext_ = false;                // the next run carries the discontinuity flag
    std::vector<std::uint8_t> carry_;      // locked: a packet's start, at most the whole packet
                                           // (and the byte after it, briefly)
    std::vector<std::uint8_t> hunt_;       // hunting: bytes that may hold a boundary
    AlignerCounts counts_;
};

}  // namespace ombrel::stream
