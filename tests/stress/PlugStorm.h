// The simulated tuners of a storm and their plugging: a third present themselves as
// WDM capture filters, a third as BDA tuners with receivers, a third in both models.
// A cycle unplugs every tuner and plugs it in again.
#pragma once

#include <windows.h>

#include <TunerSimControl.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Watchdog.h"

namespace stress {

// The tuners of a storm of this size, always the same ones (fixed ids).
std::vector<tunersim::DeviceProfile> StormTuners(int tuners);
// The GUID texts that the library gives them.
std::set<std::string> GuidStringsOf(const std::vector<tunersim::DeviceProfile>& tuners);
// The device entries (WDM and BDA) that the library lists while they are all plugged.
unsigned long EntriesOf(const std::vector<tunersim::DeviceProfile>& tuners);

class PlugStorm {
public:
    PlugStorm(int tuners, bool broadcastEach);
    // These tuners instead of StormTuners'.
    PlugStorm(std::vector<tunersim::DeviceProfile> tuners, bool broadcastEach);
    PlugStorm(const PlugStorm&) = delete;
    PlugStorm& operator=(const PlugStorm&) = delete;
    // Forgets every simulated tuner, so that no run leaves any behind.
    ~PlugStorm();

    void PlugAll();
    // Unplugs every tuner, then plugs every one in again. After each half (`plugged`
    // false, then true) and its broadcast, `settle` may wait until the system has
    // taken it in.
    void Cycle(Heartbeat& heart, const std::function<void(bool plugged)>& settle);

    // Every tuner answers firmware version requests only after ten minutes.
    void StallFirmwareRequests();
    // For a run that hangs and is about to be ended: forgets every tuner from a thread
    // of its own, waiting for that at most `timeoutMs` (the hang may hold the simulator).
    void ForgetAfterHang(DWORD timeoutMs);

    unsigned long Entries() const { return EntriesOf(boxes_); }
    const std::vector<tunersim::DeviceProfile>& Tuners() const { return boxes_; }

private:
    void Broadcast(Heartbeat& heart);

    std::vector<tunersim::DeviceProfile> boxes_;
    bool broadcastEach_;
};

}  // namespace stress
