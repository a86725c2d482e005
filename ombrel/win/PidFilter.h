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

// The filter narrowed to a list while the object lives, and opened again when it goes,
// whichever way the command ends: a tuner must not be left passing one service only.
class PidFilterNarrowing {
public:
    PidFilterNarrowing(unsigned long handle, Reception family) : handle_(handle), family_(family) {}
    ~PidFilterNarrowing() { Open(); }
    PidFilterNarrowing(const PidFilterNarrowing&) = delete;
    PidFilterNarrowing& operator=(const PidFilterNarrowing&) = delete;

    // False when the driver refused the list.
    bool Narrow(const std::vector<std::uint16_t>& pids);
    // Opens the filter again if it was narrowed; false when the driver refused that.
    bool Open();

private:
    const unsigned long handle_;
    const Reception family_;
    bool narrowed_ = false;
};

}  // namespace ombrel_cli
