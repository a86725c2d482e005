// The system-wide simulator state: a file in the prefix's ProgramData mapped into
// every process that uses the simulator, guarded by a named mutex. The lock is held
// only for short work on the record (never while sleeping or broadcasting).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "SharedLayout.h"

namespace tunersim {

class StateLock {
public:
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    ~StateLock();

    layout::SharedState& State() { return *state_; }

    // The record of a known device, or nullptr.
    layout::DeviceRecord* Find(std::string_view id);
    // A free record (zeroed), or nullptr when the table is full.
    layout::DeviceRecord* Allocate();

private:
    friend StateLock LockState();
    StateLock(HANDLE mutex, layout::SharedState* state) : mutex_(mutex), state_(state) {}
    StateLock(StateLock&& other) noexcept : mutex_(other.mutex_), state_(other.state_) {
        other.mutex_ = nullptr;
    }

    HANDLE mutex_;
    layout::SharedState* state_;
};

// Maps the state on first use (creating the file if needed) and takes the lock.
// Throws tunersim::Error when the state cannot be opened.
StateLock LockState();

// Full path of the state file.
std::wstring StateFilePath();

// Milliseconds since 1601 by the wall clock: the same in every process.
int64_t NowMs();

// Milliseconds between 1601 (NowMs) and 1970 (the stream's tables and Unix time).
inline constexpr int64_t kUnixEpochMs = 11644473600000;

}  // namespace tunersim
