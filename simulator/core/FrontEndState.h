// The simulated front end's state, one per box, kept in the shared state block (plain
// data). Whether the box locks is not stored: it follows from this state, the box's
// model and the simulated sky at the moment someone asks (FrontEndLogic.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tunersim::layout {

inline constexpr uint32_t kDefaultSettleMs = 300;
inline constexpr std::size_t kTuneRequestBytes = 12;
inline constexpr std::size_t kLnbParameterBytes = 42;
inline constexpr std::size_t kMaxPids = 29;

// Which request the front end was last told to tune.
enum class TuneKind : uint8_t { None = 0, Satellite = 1, Qpsk = 2, Terrestrial = 3 };

struct FrontEndState {
    uint32_t settleMs;         // from a tune (or a change of LNB, input, power) to its result
    int64_t settleFromMs;      // wall clock (ms since 1601) when the front end began to settle
    uint32_t tunes;            // tune requests accepted since the box was first plugged
    uint8_t power;             // last byte of set 15 (1 at first plug)
    uint8_t autoTune;          // last byte of set 16 (1 at first plug)
    uint8_t input;             // dish input chosen by the last LNB command, 0..3
    uint8_t tuning;            // 1 while the front end works on the last tune request
    TuneKind tuneKind;
    uint8_t tune[kTuneRequestBytes];             // that request as received
    uint8_t lnbParameters[kLnbParameterBytes];   // as the last set 14 gave them
    uint16_t pidCount;                           // the last PID list (set 2 or 6)
    uint16_t pids[kMaxPids];
};

}  // namespace tunersim::layout
