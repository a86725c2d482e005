#include "WindowThread.h"

#include <imm.h>

namespace ombrel {
namespace {

constexpr DWORD kExitNoWindow = 105;
constexpr DWORD kExitQuit = 205;
// Covers a rescan in progress when the library is unloaded.
constexpr DWORD kStopTimeoutMs = 15000;

// Posted to the window to rescan once the broadcast that asked for it has moved on.
constexpr UINT kRescanMessage = WM_APP + 1;

constexpr UINT kClassStyle = CS_DBLCLKS | CS_BYTEALIGNWINDOW | CS_GLOBALCLASS;     // 0x6008
constexpr DWORD kExStyle = WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES;                    // 0x110
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;                     // 0x02CF0000

// The class and window are registered under the executable's module handle, not
// the library's, so that the class's name is what identifies it.
HINSTANCE ClassInstance() { return GetModuleHandleW(nullptr); }

// One window thread per process. Set and cleared by the threads that start and stop
// it, read by the window procedure.
std::atomic<WindowThread*> g_owner{nullptr};

}  // namespace

bool WindowThread::Start() {
    started_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    finished_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    park_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!started_ || !finished_ || !park_) return false;

    g_owner = this;
    thread_ = UniqueHandle(CreateThread(nullptr, 0, &WindowThread::ThreadMain, this, 0, nullptr));
    if (!thread_) {
        g_owner = nullptr;
        return false;
    }
    WaitForSingleObject(started_.get(), INFINITE);
    started_.reset();
    return true;
}

DWORD WINAPI WindowThread::ThreadMain(void* self) {
    return static_cast<WindowThread*>(self)->Run();
}

DWORD WindowThread::Run() {
    // No input method window for this thread: the system would give it one as a
    // further top-level window, which a device-change broadcast visits after the
    // hidden window and would find this thread busy with the rescan just begun.
    ImmDisableIME(0);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = kClassStyle;
    wc.lpfnWndProc = &WindowThread::WindowProc;
    wc.hInstance = ClassInstance();
    wc.lpszMenuName = L"AppMenu";
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // may exist already; creation below tells

    HWND window = CreateWindowExW(kExStyle, kClassName, kClassName, kStyle, 0, 0, 600, 200, nullptr,
                                  nullptr, ClassInstance(), nullptr);
    window_.store(window);
    if (!window) {
        // The class points into this library: it must not outlive it.
        UnregisterClassW(kClassName, ClassInstance());
        SetEvent(started_.get());
        return kExitNoWindow;
    }
    // No scan of its own here: OB_Initialize scans on its caller's thread right after
    // this signal (a second scan at the same time would only compete with it), and
    // every device change from now on reaches the window.
    SetEvent(started_.get());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    window_.store(nullptr);
    UnregisterClassW(kClassName, ClassInstance());

    if (!stopping_.load()) return kExitQuit;
    // Unloading: signal and wait in one step, so the thread is inside the system's
    // code, never again in ours, when Stop sees the signal.
    SignalObjectAndWait(finished_.get(), park_.get(), INFINITE, FALSE);
    return kExitQuit;
}

LRESULT CALLBACK WindowThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    } else if (message == WM_DEVICECHANGE) {
        // A broadcast waits for each window in turn: this one answers at once and
        // scans afterwards, so that no other program hears of the change only after
        // this process has scanned and its windows have handled 0x403. A change that
        // comes while a scan is queued is covered by that scan; one that comes during
        // a scan queues the next.
        WindowThread* owner = g_owner.load();
        if (owner && !owner->stopping_.load() && !owner->rescanQueued_.exchange(true) &&
            !PostMessageW(window, kRescanMessage, 0, 0))
            owner->rescanQueued_ = false;
    } else if (message == kRescanMessage) {
        WindowThread* owner = g_owner.load();
        if (owner) {
            owner->rescanQueued_ = false;
            if (!owner->stopping_.load()) owner->rescan_();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WindowThread::Stop() {
    if (!thread_) return;
    stopping_.store(true);
    HWND window = window_.load();
    if (!window || WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0) {
        // Never had a window, or already ended on its own.
        thread_.reset();
        g_owner.store(nullptr);
        return;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);

    const ULONGLONG deadline = GetTickCount64() + kStopTimeoutMs;
    HANDLE waits[] = {finished_.get()};
    bool parked = false;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        const DWORD r = MsgWaitForMultipleObjectsEx(1, waits, static_cast<DWORD>(deadline - now),
                                                    QS_SENDMESSAGE, 0);
        if (r == WAIT_OBJECT_0) {
            parked = true;
            break;
        }
        if (r != WAIT_OBJECT_0 + 1) break;
        // A rescan on the window thread may be sending to a window of this thread.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (parked) {
        // Parked in a wait that never ends: ending it there runs none of our code.
        TerminateThread(thread_.get(), kExitQuit);
        WaitForSingleObject(thread_.get(), kStopTimeoutMs);
    }
    thread_.reset();
    g_owner = nullptr;
}

}  // namespace ombrel
