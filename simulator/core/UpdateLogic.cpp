#include "UpdateLogic.h"

#include <algorithm>
#include <cstdint>

namespace tunersim::update {

using layout::ScriptAction;
using layout::UpdatePhase;
using layout::UpdateRun;

namespace {

// The record's times may be anything a damaged state file holds, so the arithmetic on
// them neither overflows nor wraps: it saturates at the ends of the clock.
int64_t Later(int64_t time, uint64_t ms) {
    return ms > static_cast<uint64_t>(INT64_MAX - std::max<int64_t>(time, 0)) ? INT64_MAX : time + static_cast<int64_t>(ms);
}

// Raw progress of a running update, 0..100, from the clock alone.
int RawProgress(const UpdateRun& run, int64_t nowMs) {
    if (run.durationMs == 0) return 100;
    if (nowMs <= run.startMs) return 0;
    const uint64_t elapsed = static_cast<uint64_t>(nowMs) - static_cast<uint64_t>(run.startMs);
    if (elapsed >= run.durationMs) return 100;
    return static_cast<int>(elapsed * 100 / run.durationMs);
}

// Time at which the raw progress reaches `percent`.
int64_t TimeOf(const UpdateRun& run, int percent) {
    // Round up so that RawProgress(TimeOf(p)) >= p.
    return Later(run.startMs, (static_cast<uint64_t>(run.durationMs) * static_cast<uint64_t>(percent) + 99) / 100);
}

bool ScriptStops(const UpdateRun& run, ScriptAction action) {
    return run.script.action == action && run.script.percent <= 100;
}

}  // namespace

void Start(layout::DeviceRecord& device, const ImageVerdict& verdict, int64_t nowMs,
           uint32_t imageLength, uint32_t imageCrc) {
    UpdateRun& run = device.update;
    const uint32_t generation = run.generation + 1;
    const uint32_t received = run.imagesReceived + 1;
    run = UpdateRun{};
    run.generation = generation;
    run.imagesReceived = received;
    run.lastImageLength = imageLength;
    run.lastImageCrc = imageCrc;
    run.startMs = nowMs;
    run.durationMs = device.updateDurationMs;
    run.holdMs = device.updateHoldMs;
    run.script = device.script;
    if (verdict.errorCode != 0) {
        run.phase = UpdatePhase::Rejected;
        run.errorCode = verdict.errorCode;
        run.failState = kStateFailed;
        return;
    }
    run.phase = UpdatePhase::Running;
    run.newMajor = verdict.major;
    run.newMinor = verdict.minor;
    run.newPatch = verdict.patch;
    run.newBuild = verdict.build;
}

void Advance(layout::DeviceRecord& device, int64_t nowMs) {
    UpdateRun& run = device.update;
    if (run.phase != UpdatePhase::Running) return;
    const int raw = RawProgress(run, nowMs);
    if (ScriptStops(run, ScriptAction::Fail) && raw >= run.script.percent) {
        run.phase = UpdatePhase::Failed;
        run.failProgress = run.script.percent;
        run.errorCode = run.script.errorCode;
        run.failState = run.script.failState;
        return;
    }
    if (ScriptStops(run, ScriptAction::Stall) || ScriptStops(run, ScriptAction::Vanish)) return;
    if (raw >= 100 && !run.versionApplied) {
        device.versionMajor = run.newMajor;
        device.versionMinor = run.newMinor;
        device.versionPatch = run.newPatch;
        device.build = run.newBuild;
        run.versionApplied = 1;
    }
}

std::optional<Status> StatusAt(const UpdateRun& run, int64_t nowMs) {
    switch (run.phase) {
    case UpdatePhase::Idle:
    case UpdatePhase::Vanished:
        return std::nullopt;
    case UpdatePhase::Rejected:
        return Status{0, run.failState, run.errorCode};
    case UpdatePhase::Failed:
        return Status{run.failProgress, run.failState, run.errorCode};
    case UpdatePhase::Finished:
        return Status{100, kStateDone, 0};
    case UpdatePhase::Running:
        break;
    }
    int raw = RawProgress(run, nowMs);
    if (ScriptStops(run, ScriptAction::Fail) && raw >= run.script.percent)
        return Status{run.script.percent, run.script.failState, run.script.errorCode};
    if (ScriptStops(run, ScriptAction::Stall)) raw = std::min<int>(raw, run.script.percent);
    // A box that is to vanish answers as running until the driver has taken it away:
    // failing the status before that would let a caller see "detached" while the box is
    // still listed (and its driver's process could end before the unplug happens).
    if (ScriptStops(run, ScriptAction::Vanish) && raw >= run.script.percent)
        return Status{static_cast<uint8_t>(std::min<int>(run.script.percent, 99)), kStateRunning, 0};
    const auto progress = static_cast<uint8_t>(raw);
    return Status{progress, progress == 100 ? kStateDone : kStateRunning, 0};
}

Due DueAt(const UpdateRun& run, int64_t nowMs) {
    const auto deadline = NextDeadline(run);
    if (!deadline || nowMs < *deadline) return Due::Nothing;
    return ScriptStops(run, ScriptAction::Vanish) ? Due::Vanish : Due::Reboot;
}

std::optional<int64_t> NextDeadline(const UpdateRun& run) {
    if (run.phase != UpdatePhase::Running) return std::nullopt;
    if (ScriptStops(run, ScriptAction::Fail) || ScriptStops(run, ScriptAction::Stall))
        return std::nullopt;
    if (ScriptStops(run, ScriptAction::Vanish)) return TimeOf(run, run.script.percent);
    return Later(TimeOf(run, 100), run.holdMs);
}

}  // namespace tunersim::update
