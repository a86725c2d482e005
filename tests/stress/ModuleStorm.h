// The tuners of the Common Interface and remote-control runs, and what changes under
// their sessions and readers: each cycle inserts a module in every slot, makes it ready
// with pending events raised and removes it again (ModuleStorm), or presses a burst of
// keys on every tuner (KeyStream). The tuners stay plugged for the whole run.
#pragma once

#include <windows.h>

#include <TunerSimControl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "StressOptions.h"
#include "Watchdog.h"

namespace stress {

// Tuners of one driver model each, so that one box is one device entry: models with a
// Common Interface slot for the ci run, any models for the remote run.
std::vector<tunersim::DeviceProfile> SessionTuners(Run run, int tuners);

class ModuleStorm {
public:
    explicit ModuleStorm(std::vector<tunersim::DeviceProfile> tuners);
    // No module is left in a slot, whatever the run left.
    ~ModuleStorm();

    // Each step is held for a few of the sessions' polls (every 50 ms).
    void Cycle(Heartbeat& heart, unsigned cycle);
    long long Steps() const { return steps_; }

private:
    void Hold(Heartbeat& heart);

    std::vector<tunersim::DeviceProfile> boxes_;
    long long steps_ = 0;
};

class KeyStream {
public:
    static constexpr unsigned kBurst = 8;

    explicit KeyStream(std::vector<tunersim::DeviceProfile> tuners);

    // Presses the next kBurst codes on every tuner, then waits until the readers have
    // taken them or a while has passed. The codes rise per tuner from 1: readers must
    // receive them in that order, and each at most once.
    void Cycle(Heartbeat& heart);
    long long Pressed() const { return pressed_; }
    long long Dropped() const { return dropped_; }

private:
    std::vector<tunersim::DeviceProfile> boxes_;
    std::vector<std::uint32_t> next_;  // per tuner
    long long pressed_ = 0;
    long long dropped_ = 0;
};

}  // namespace stress
