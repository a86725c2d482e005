// The Common Interface poll over any run of the slot's status words: the input is a
// sequence of steps of three bytes (what happens, then a status word, little-endian):
// a reading of the word, a reading that the driver fails (the poll posts nothing and
// keeps its state), or the session closed and opened again (the state starts at 0).
//
// Properties: the state is always 0, 1 or 2, and follows only from the previous state
// and the word read; the three flag messages come first, in the order 0x408, 0x409,
// 0x407, one for each of bits 0x0040, 0x0080, 0x0100 read, and none otherwise; "present"
// is posted once per insertion (state 0 and bit 0x0010), "ready" at most once per
// insertion and never before its "present", "gone" only after a "present" and only when
// bit 0x0010 drops; a ready module stays ready while it is present.
#include "CiPoll.h"
#include "FuzzSupport.h"

#include <vector>

namespace {

using namespace ombrel::ci;

constexpr std::uint16_t kReadyBits = kStatusReadyLow | kStatusReadyHigh;

// What the messages have said about the module since the session opened.
struct Seen {
    bool present = false;  // a "present" without a "gone" after it
    bool ready = false;    // a "ready" since that "present"
};

void CheckFlags(std::span<const CiEvent> events, std::uint16_t status, std::size_t& next) {
    const std::pair<std::uint16_t, CiEvent> flags[] = {
        {kStatusEvent40, CiEvent::Flag40}, {kStatusEvent80, CiEvent::Flag80}, {kStatusEvent100, CiEvent::Flag100}};
    for (const auto& [bit, event] : flags) {
        if (!(status & bit)) continue;
        FUZZ_REQUIRE(next < events.size() && events[next] == event, "a flag message for each flag bit read, in order");
        ++next;
    }
}

CiState CheckReading(CiState state, std::uint16_t status, Seen& seen) {
    const PollResult result = Poll(state, status);
    const std::span<const CiEvent> events = result.Events();
    std::size_t next = 0;
    CheckFlags(events, status, next);
    const bool present = status & kStatusPresent;
    const bool ready = present && (status & kReadyBits) == kReadyBits;

    CiState expected = state;
    for (; next < events.size(); ++next) {
        switch (events[next]) {
        case CiEvent::ModulePresent:
            FUZZ_REQUIRE(present && expected == CiState::NoModule && !seen.present, "present: once per insertion");
            seen = {true, false};
            expected = CiState::ModulePresent;
            break;
        case CiEvent::ModuleReady:
            FUZZ_REQUIRE(ready && expected == CiState::ModulePresent, "ready: from present, with all three bits");
            FUZZ_REQUIRE(seen.present && !seen.ready, "ready: after its present, once per insertion");
            seen.ready = true;
            expected = CiState::ModuleReady;
            break;
        case CiEvent::ModuleGone:
            FUZZ_REQUIRE(!present && expected != CiState::NoModule && seen.present, "gone: after a present, when 0x0010 drops");
            seen = {};
            expected = CiState::NoModule;
            break;
        default:
            FUZZ_REQUIRE(false, "flag messages come before the state's");
        }
    }
    FUZZ_REQUIRE(result.state == expected, "the state changes only with its message");
    const int value = static_cast<int>(result.state);
    FUZZ_REQUIRE(value >= 0 && value <= 2, "a valid state");
    // What a reading must do, besides what it may.
    if (present && state == CiState::NoModule) FUZZ_REQUIRE(seen.present, "a module found is reported");
    if (ready) FUZZ_REQUIRE(result.state == CiState::ModuleReady, "a ready module is reported ready");
    if (present && state == CiState::ModuleReady) FUZZ_REQUIRE(result.state == CiState::ModuleReady, "ready stays while present");
    if (!present) FUZZ_REQUIRE(result.state == CiState::NoModule, "no module without 0x0010");
    return result.state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CiState state = CiState::NoModule;
    Seen seen;
    for (std::size_t at = 0; at + 3 <= size; at += 3) {
        const std::uint16_t status = static_cast<std::uint16_t>(data[at + 1] | data[at + 2] << 8);
        switch (data[at] % 4) {
        case 2:  // the driver fails the reading: nothing changes
            break;
        case 3:  // closed and opened again
            state = CiState::NoModule;
            seen = {};
            break;
        default:
            state = CheckReading(state, status, seen);
        }
    }
    return 0;
}
