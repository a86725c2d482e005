// The firmware-update life cycle of one simulated box, as plain functions of the
// device record and the wall clock. Progress is a function of the start time and the
// duration kept in the shared record, so whichever process asks sees the same value.
#pragma once

#include <cstdint>
#include <optional>

#include "SharedLayout.h"

namespace tunersim::update {

struct Status {
    uint8_t progress = 0;
    uint8_t state = 0;
    uint8_t errorCode = 0;
};

// Result of the receiving tuner's image check.
struct ImageVerdict {
    uint8_t errorCode = 0;  // 0: image good
    uint8_t major = 0, minor = 0, patch = 0;
    uint16_t build = 0;
};

inline constexpr uint8_t kStateRunning = 1;
inline constexpr uint8_t kStateDone = 0;
inline constexpr uint8_t kStateFailed = 8;

// Starts a run for an accepted set 17.
void Start(layout::DeviceRecord& device, const ImageVerdict& verdict, int64_t nowMs,
           uint32_t imageLength, uint32_t imageCrc);

// Applies the state changes that are due at nowMs and need no side effect outside the
// record (scripted failure, new version at 100 %).
void Advance(layout::DeviceRecord& device, int64_t nowMs);

// The status that get 18 reports; nullopt when there is none (no run yet, or the box
// vanished during the run).
std::optional<Status> StatusAt(const layout::UpdateRun& run, int64_t nowMs);

// Side effects that someone must perform outside the lock.
enum class Due { Nothing, Vanish, Reboot };
Due DueAt(const layout::UpdateRun& run, int64_t nowMs);

// Wall-clock time of the next due side effect; nullopt when none will come.
std::optional<int64_t> NextDeadline(const layout::UpdateRun& run);

}  // namespace tunersim::update
