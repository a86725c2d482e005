// The real-time pace of a box's stream as a pin delivers it: how many packet slots of
// the multiplex fall due by the total time elapsed since the stream started (never by
// counting sleeps, which drift), and the buffers that carry them (whole 188-byte packets).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tunersim::pacing {

inline constexpr long kPacketBytes = 188;

class Pacer {
public:
    // A delivery that falls further behind than maxBehindMs (a thread held up, a
    // downstream filter that blocked) skips the slots beyond it rather than bursting them.
    explicit Pacer(int64_t maxBehindMs = 500) : maxBehindMs_(maxBehindMs) {}

    // Starts pacing a stream of `bitrate` bits/s at nowMs (a monotonic clock).
    void Start(int64_t nowMs, uint64_t bitrate);
    void Stop() { bitrate_ = 0; }
    bool Running() const { return bitrate_ != 0; }

    struct Due {
        uint64_t slots = 0;    // to make now
        uint64_t skipped = 0;  // fell further behind than allowed: never made
    };
    // The slots that fell due since the last Take (nothing before Start or after Stop,
    // nothing for a clock that went back).
    Due Take(int64_t nowMs);

    // Slots due in total by nowMs since Start.
    uint64_t DueBy(int64_t nowMs) const;

private:
    int64_t maxBehindMs_;
    int64_t originMs_ = 0;
    uint64_t bitrate_ = 0;
    uint64_t taken_ = 0;
};

// What an output pin asks of an allocator and what it makes of the answer.
struct BufferPlan {
    long count = 0;
    long bytes = 0;
};

// The pin's own wish (16 buffers of 348 packets, 64 KiB) raised to the downstream
// filter's: more buffers when it asks for more, bigger buffers rounded up to whole packets.
BufferPlan PlanBuffers(long wantedCount, long wantedBytes);

// Whole packets that fit in a buffer of `bytes` (0 when not even one fits).
std::size_t PacketsPerBuffer(long bytes);

// Whether the next sample starts a new run of the stream: after a start, a retune, a
// stretch without lock, skipped slots or a sample that downstream did not take.
class ContinuityWatch {
public:
    void Gap() { gap_ = true; }
    // The flag for the next sample; clears it.
    bool TakeDiscontinuity() {
        const bool was = gap_;
        gap_ = false;
        return was;
    }

private:
    bool gap_ = true;
};

}  // namespace tunersim::pacing
