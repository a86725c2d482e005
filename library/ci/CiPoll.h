// The Common Interface poll: what one reading of the slot's status word does to the
// module state and which notifications it yields, in the order they are posted
// (plain C++).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ombrel::ci {

enum class CiState : int { NoModule = 0, ModulePresent = 1, ModuleReady = 2 };

// Status word bits (property 28); every other bit is ignored.
inline constexpr std::uint16_t kStatusReadyLow = 0x0002;
inline constexpr std::uint16_t kStatusPresent = 0x0010;
inline constexpr std::uint16_t kStatusReadyHigh = 0x0020;
inline constexpr std::uint16_t kStatusEvent40 = 0x0040;
inline constexpr std::uint16_t kStatusEvent80 = 0x0080;
inline constexpr std::uint16_t kStatusEvent100 = 0x0100;

enum class CiEvent {
    Flag40,         // bit 0x0040 read
    Flag80,         // bit 0x0080 read
    Flag100,        // bit 0x0100 read
    ModulePresent,  // state 0 -> 1
    ModuleReady,    // state 1 -> 2
    ModuleGone,     // state 1 or 2 -> 0
};

class PollResult {
public:
    CiState state = CiState::NoModule;
    std::span<const CiEvent> Events() const { return {events_.data(), count_}; }
    void Add(CiEvent event) { events_[count_++] = event; }

private:
    std::array<CiEvent, 5> events_{};  // three flags and two state changes at most
    std::size_t count_ = 0;
};

// The state after reading `status` in `state`, with the events of that reading: the
// flags 0x0040, 0x0080, 0x0100 first, then the state changes. A module found ready
// at once yields present and ready; a ready module stays ready while it is present.
PollResult Poll(CiState state, std::uint16_t status);

}  // namespace ombrel::ci
