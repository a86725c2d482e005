// The stress programs' command line (plain C++).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace stress {

enum class Run {
    Plug,     // plug storm against the library, 4 worker threads and a second process
    Romflux,  // the same while Romflux runs and rebuilds its list
    Ci,       // Common Interface sessions while the simulated modules come and go
    Remote,   // remote-control readers started and stopped while keys stream
    Worker,   // the second process of a run: worker threads until told to stop
    Control,  // a storm without the library: the platform's own share
};

struct Options {
    Run run = Run::Plug;
    int cycles = 1000;
    int tuners = 8;              // half in one driver model, the rest in the other or both
    int threads = 4;
    bool secondProcess = true;
    bool broadcastEach = false;  // a broadcast after every plug and unplug, not one per half cycle
    int hangSeconds = 120;       // a thread that makes no progress this long is hung
    std::string events;          // Worker: name stem of the first process's events
    Run storm = Run::Plug;       // Worker and Control: which run's storm (plug, ci, remote)
    // For the watchdog's own test: after the first cycle every tuner answers firmware
    // version requests only after ten minutes, so that the run hangs.
    bool stallDriver = false;
    // When given, the run fails if this process's key handles grow by more than this
    // many per cycle (beyond the start figure).
    std::optional<double> maxKeyGrowthPerCycle;
};

// Throws std::invalid_argument with a message for a person.
Options ParseOptions(const std::vector<std::string>& arguments);
std::string Usage();

const char* RunName(Run run);

}  // namespace stress
