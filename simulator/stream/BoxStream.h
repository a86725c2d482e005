// What one simulated box emits. Nothing unless it is plugged, powered, tuned and locked;
// then the multiplex it receives, as the air delivers it (the weak multiplexes with
// transport errors and lost packets at the rate of the blocks they lose), as its
// conditional-access module leaves it (scrambled services scrambled unless the module
// descrambles them) and as its PID filter lets it through.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Multiplexer.h"
#include "SharedLayout.h"

namespace tunersim::stream {

// What the stream follows of a box at one moment (taken from its record under the
// simulator's lock, then used without it).
struct BoxView {
    int multiplex = -1;               // index in sky::Multiplexes(); -1: nothing flows
    std::bitset<8192> pass;           // the PID filter
    std::vector<uint16_t> descrambled;  // programs of the multiplex that the module descrambles
};

BoxView ViewOf(const layout::DeviceRecord& box, int64_t nowMs);

class BoxStream {
public:
    explicit BoxStream(ClipLibrary& clips) : clips_(clips) {}

    // Follows the box: a new multiplex starts a new stream at nowUnixMs (its first PCRs
    // flag the new time base), losing lock stops it.
    void Follow(const BoxView& view, int64_t nowUnixMs);

    // Appends what the box emits during the next `slots` packet times of its multiplex;
    // returns the number of packets appended (slots less the filtered and lost ones).
    std::size_t Make(std::size_t slots, std::vector<uint8_t>& out);

    bool Flowing() const { return multiplexer_ != nullptr; }
    int Multiplex() const { return Flowing() ? multiplexIndex_ : -1; }
    uint64_t Bitrate() const { return Flowing() ? multiplexer_->Bitrate() : 0; }
    // Streams started so far (each tune to another multiplex, each regained lock).
    uint32_t Starts() const { return starts_; }
    // The packets made for the current multiplex, whether emitted or not.
    uint64_t SlotsMade() const { return Flowing() ? multiplexer_->PacketsMade() : 0; }

private:
    void Damage(uint8_t* packet);
    void Scramble(uint8_t* packet);

    ClipLibrary& clips_;
    ContinuityCounters counters_;
    std::unique_ptr<Multiplexer> multiplexer_;
    int multiplexIndex_ = -1;
    uint32_t starts_ = 0;
    std::bitset<8192> pass_;
    std::bitset<8192> scrambledPids_;   // of services the module does not descramble now
    // The error model: packets until the next lost block, and a generator for its spread.
    uint64_t errorInterval_ = 0;        // 0: the multiplex loses nothing
    uint64_t untilError_ = 0;
    bool damagePending_ = false;
    bool dropPending_ = false;
    uint32_t random_ = 0x2545F491;
    std::vector<uint8_t> batch_;
};

}  // namespace tunersim::stream
