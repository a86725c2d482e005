#include "RemoteKeys.h"

namespace tunersim::remote {

void Leave(layout::RemoteState& remote, Read& read) {
    if (!read.waiting) return;
    read.waiting = false;
    if (remote.waitingReads > 0) --remote.waitingReads;
}

Step Look(layout::DeviceRecord& device, Read& read, uint16_t& key) {
    layout::RemoteState& remote = device.remote;
    if (!device.plugged) {
        Leave(remote, read);
        return Step::Unplugged;
    }
    if (!read.waiting && remote.failNextRead) {
        remote.failNextRead = 0;
        return Step::Failed;
    }
    // A read that waits is released by a cancel that came since it began to wait; a new
    // read by one that is still pending.
    const bool cancelled = read.waiting ? remote.cancelGeneration != read.generation : remote.cancelPending != 0;
    if (cancelled) {
        remote.cancelPending = 0;
        ++remote.releasedReads;
        Leave(remote, read);
        return Step::Released;
    }
    if (remote.queued > 0) {
        key = remote.keys[remote.head % layout::kKeyQueueLength];
        remote.head = (remote.head + 1) % layout::kKeyQueueLength;
        --remote.queued;
        ++remote.read;
        Leave(remote, read);
        return Step::Key;
    }
    if (!read.waiting) {
        read.waiting = true;
        read.generation = remote.cancelGeneration;
        ++remote.waitingReads;
    }
    return Step::Wait;
}

bool Press(layout::RemoteState& remote, uint16_t code) {
    if (remote.queued >= layout::kKeyQueueLength) {
        ++remote.dropped;
        return false;
    }
    remote.keys[(remote.head + remote.queued) % layout::kKeyQueueLength] = code;
    ++remote.queued;
    ++remote.pressed;
    return true;
}

CancelOutcome Cancel(layout::RemoteState& remote, bool withoutBuffers) {
    if (!withoutBuffers) {
        ++remote.malformedCancels;
        return CancelOutcome::Rejected;
    }
    ++remote.cancels;
    if (remote.ignoreCancel) return CancelOutcome::Ignored;
    ++remote.cancelGeneration;
    remote.cancelPending = 1;
    return CancelOutcome::Taken;
}

}  // namespace tunersim::remote
