// Ctrl+C and Ctrl+Break while an object of this class lives: counted and signalled
// instead of ending the process. One at a time.
#pragma once

#include <windows.h>

#include <atomic>

namespace ombrel_cli {

class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Auto-reset event, signalled at every interrupt.
    HANDLE Event() const { return event_; }
    int Count() const { return count_.load(); }

private:
    static BOOL WINAPI Handler(DWORD type);

    HANDLE event_ = nullptr;
    std::atomic<int> count_{0};
};

}  // namespace ombrel_cli
