#include "Lifecycle.h"

#include <windows.h>

#include <algorithm>

#include "Registration.h"
#include "UpdateLogic.h"

namespace tunersim {

namespace {

// A deadline is overdue for an absent driver after this grace period.
constexpr int64_t kOverdueGraceMs = 250;
constexpr int64_t kMaxWaitSliceMs = 200;

bool ProcessAlive(DWORD pid) {
    if (pid == 0) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

// The UpdateRun's spare byte marks a re-enumeration in progress.
uint8_t& Rebooting(layout::DeviceRecord& device) { return device.update.reserved; }

enum class Step { Wait, Done, Vanished, Rebooting };

Step TakeStep(const std::string& id, uint32_t generation, int64_t& deadline) {
    StateLock lock = LockState();
    layout::DeviceRecord* device = lock.Find(id);
    if (!device || device->update.generation != generation) return Step::Done;
    const int64_t now = NowMs();
    update::Advance(*device, now);
    const auto next = update::NextDeadline(device->update);
    if (!next) return Step::Done;
    deadline = *next;
    switch (update::DueAt(device->update, now)) {
    case update::Due::Nothing:
        return Step::Wait;
    case update::Due::Vanish:
        device->update.phase = layout::UpdatePhase::Vanished;
        if (!device->plugged) return Step::Done;
        UnplugRecord(*device);
        return Step::Vanished;
    case update::Due::Reboot:
        device->update.phase = layout::UpdatePhase::Finished;
        if (!device->plugged) return Step::Done;
        UnplugRecord(*device);
        Rebooting(*device) = 1;
        return Step::Rebooting;
    }
    return Step::Done;
}

void ComeBack(const std::string& id, uint32_t generation) {
    bool plugged = false;
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (device && device->update.generation == generation && Rebooting(*device) &&
            !device->plugged) {
            Rebooting(*device) = 0;
            PlugRecord(*device);
            plugged = true;
        }
    }
    if (plugged) BroadcastDevNodesChanged();
}

}  // namespace

void PlugRecord(layout::DeviceRecord& device) {
    device.plugged = 1;
    try {
        RegisterDeviceKeys(device);
    } catch (...) {
        device.plugged = 0;
        throw;
    }
}

void UnplugRecord(layout::DeviceRecord& device) {
    RemoveDeviceKeys(device);
    device.plugged = 0;
    Rebooting(device) = 0;
}

bool UpdateNeedsDriver(const layout::DeviceRecord& device, int64_t nowMs) {
    const auto next = update::NextDeadline(device.update);
    if (!next || nowMs < *next + kOverdueGraceMs) return false;
    return !ProcessAlive(device.update.workerPid) ||
           device.update.workerPid == GetCurrentProcessId();
}

void DriveUpdate(const std::string& id, uint32_t generation) {
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device || device->update.generation != generation) return;
        device->update.workerPid = GetCurrentProcessId();
    }
    for (;;) {
        int64_t deadline = 0;
        Step step = Step::Done;
        try {
            step = TakeStep(id, generation, deadline);
        } catch (...) {
            return;
        }
        switch (step) {
        case Step::Done:
            return;
        case Step::Vanished:
            BroadcastDevNodesChanged();
            return;
        case Step::Rebooting:
            BroadcastDevNodesChanged();
            Sleep(layout::kRebootGapMs);
            try {
                ComeBack(id, generation);
            } catch (...) {
            }
            return;
        case Step::Wait: {
            const int64_t wait = std::clamp<int64_t>(deadline - NowMs(), 1, kMaxWaitSliceMs);
            Sleep(static_cast<DWORD>(wait));
            break;
        }
        }
    }
}

}  // namespace tunersim
