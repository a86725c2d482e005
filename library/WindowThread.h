// The library's window thread: owns the hidden window "Ombrel_Api" that hears the
// system's device-change broadcasts, and rescans after each of them.
#pragma once

#include "Win32Handle.h"

#include <atomic>
#include <functional>

namespace ombrel {

class WindowThread {
public:
    explicit WindowThread(std::function<void()> rescan) : rescan_(std::move(rescan)) {}
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // Starts the thread and waits until it has tried to create its window. False
    // only when the thread cannot be started; a missing window leaves the thread
    // ended and the library without notifications.
    bool Start();

    // Ends the thread before the library's code goes away (unload while the
    // process goes on): destroys the window, lets the thread leave the library's
    // code and waits for it, within a bound. Sent messages that the thread is
    // delivering to the calling thread meanwhile are handled.
    void Stop();

    HWND Window() const { return window_.load(); }

    static constexpr wchar_t kClassName[] = L"Ombrel_Api";

private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    DWORD Run();

    std::function<void()> rescan_;
    UniqueHandle thread_;
    UniqueHandle started_;   // set once the window exists or could not be made
    UniqueHandle finished_;  // set by the thread as it parks after its loop
    UniqueHandle park_;      // never set: the thread waits on it until terminated
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> rescanQueued_{false};  // a rescan message waits in the queue
};

}  // namespace ombrel
