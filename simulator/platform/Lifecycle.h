// Plugging and unplugging a record, and the side effects of a firmware update (a box
// that vanishes, a box that reboots). The caller holds the state lock where a
// StateLock is taken; broadcasts are left to the caller, after the lock is gone.
#pragma once

#include <cstdint>
#include <string>

#include "SharedState.h"

namespace tunersim {

// Marks the record plugged and writes its registry keys; on failure the record is left
// unplugged with no keys, and tunersim::Error is thrown.
void PlugRecord(layout::DeviceRecord& device);

// Removes the registry keys and marks the record unplugged.
void UnplugRecord(layout::DeviceRecord& device);

// Runs the side effects of update run `generation` of device `id` until none is left:
// waits (without the lock) for each deadline, unplugs a box that is scripted to vanish,
// re-enumerates a box that finished (unplug, short pause, plug, each broadcast).
// Returns early when another run replaced this one or the device was forgotten.
void DriveUpdate(const std::string& id, uint32_t generation);

// True when the update of the record has a side effect overdue and no live process
// is driving it.
bool UpdateNeedsDriver(const layout::DeviceRecord& device, int64_t nowMs);

}  // namespace tunersim
