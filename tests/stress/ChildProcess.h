// A second process of a run: this program started again with other arguments, its
// output collected through a pipe while it runs. It lives in a job that ends it when
// this process ends, however that happens, so that it never waits on alone.
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace stress {

class ChildProcess {
public:
    // Throws std::runtime_error when the process cannot be started.
    explicit ChildProcess(const std::wstring& arguments);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends the process if it still runs.
    ~ChildProcess();

    HANDLE Handle() const { return process_; }
    // Waits (pumping this thread's messages) until it has ended; its exit code.
    std::optional<DWORD> Wait(DWORD timeoutMs);
    void Kill();
    std::string Output();

private:
    void Read(HANDLE pipe);

    HANDLE job_ = nullptr;
    HANDLE process_ = nullptr;
    std::mutex lock_;
    std::string output_;
    std::thread reader_;
};

// Pumps this thread's messages until `done` holds or the time is up.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

}  // namespace stress
