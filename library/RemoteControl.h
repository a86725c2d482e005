// The remote-control state of one device entry: which handle runs the device's reader, the
// reader itself, and the device's in-use flag in the shared section, which keeps the reader
// to one process at a time.
//
// Rules:
// - One lock of its own. Lock order: the device table's lock, then this one, then the
//   reader's link. Nothing waits for a reader thread while holding any of them.
// - Start runs under the table's lock (the handle is looked up there, and a window change
//   of the owning handle is passed on under it too). A stop begins under the table's lock
//   and is finished after it (PendingStop), because finishing waits for the thread.
// - While a stop is under way the owner stays set: starts fail until it is finished.
#pragma once

#include "RemoteReader.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel {

struct HandleRecord;
class SharedSection;
class RemoteControl;

// A stop begun under the table's lock. Finish (or the destructor) waits for the thread,
// then marks the device stopped and clears its shared flag.
class PendingStop {
public:
    PendingStop(RemoteControl& control, std::unique_ptr<RemoteReader> reader);
    PendingStop(PendingStop&& other) noexcept = default;
    // Finishes the stop in hand first.
    PendingStop& operator=(PendingStop&& other) noexcept;
    PendingStop(const PendingStop&) = delete;
    PendingStop& operator=(const PendingStop&) = delete;
    ~PendingStop();

    void Finish();

private:
    RemoteControl* control_;
    std::unique_ptr<RemoteReader> reader_;
};

class RemoteControl {
public:
    RemoteControl() = default;
    RemoteControl(const RemoteControl&) = delete;
    RemoteControl& operator=(const RemoteControl&) = delete;
    // The entry is discarded: StopForUnload.
    ~RemoteControl();

    // OB_RemoteControl_Start through this handle of the device named `displayName`.
    // `shared` may be null: no flag is then set.
    unsigned long Start(const HandleRecord& record, std::string_view displayName, SharedSection* shared);

    // OB_RemoteControl_Stop through `handle`, first half: nothing when the handle does not
    // own a running reader (or its stop is under way already).
    std::optional<PendingStop> BeginStop(std::uint32_t handle);

    // The owning handle's window changed.
    void WindowChanged(std::uint32_t handle, HWND window);

    // The library is unloaded: a running reader is stopped as at unload, within the same
    // bound, and the device's flag cleared.
    void StopForUnload();

private:
    friend class PendingStop;
    void EndStop();
    void ClearFlagLocked();

    std::mutex lock_;
    std::uint32_t owner_ = 0;               // 0: stopped
    std::unique_ptr<RemoteReader> reader_;  // null while a stop is under way
    SharedSection* flagSection_ = nullptr;  // set when this process set the device's flag
    std::string flagName_;
};

}  // namespace ombrel
