// The tuner's PID filter: the list of packet identifiers it passes on, set through the
// request of the tuner's family (a tune's list is what the driver passes from then on).
#pragma once

#include "TunerRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ombrel_cli {

// Entries the family's list holds: 29 satellite, 27 terrestrial and ATSC; 0 otherwise.
std::size_t PidFilterRoom(Reception family);

// Sets the list, or opens the filter (every PID) when `pids` is empty. For a tuner of
// unknown family both requests are tried. False when the driver refused.
bool SetPidFilter(unsigned long handle, Reception family, const std::optional<std::vector<std::uint16_t>>& pids);

}  // namespace ombrel_cli
