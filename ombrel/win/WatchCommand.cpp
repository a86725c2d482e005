// 'watch': a hidden window registered for the library's device-change message, a
// message loop, and a line for every tuner that comes or goes, until Ctrl+C.
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "JsonOutput.h"
#include "TextOutput.h"
#include "Tuners.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <algorithm>
#include <set>
#include <vector>

namespace ombrel_cli {
namespace {

constexpr const wchar_t* kWindowClass = L"OmbrelCliWatch";
// Posted to ourselves: the library waits while its message is handled, so the
// tuners are read after it has been answered.
constexpr UINT kRefreshMessage = WM_APP + 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == OMBREL_MSG_DEVICES_CHANGED) {
        PostMessageW(window, kRefreshMessage, 0, 0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window of its own class, for as long as the object lives.
class NotificationWindow {
public:
    NotificationWindow() {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        registered_ = RegisterClassExW(&windowClass) != 0;
        if (registered_) {
            window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        }
    }
    ~NotificationWindow() {
        if (window_) DestroyWindow(window_);
        if (registered_) UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
    }
    NotificationWindow(const NotificationWindow&) = delete;
    NotificationWindow& operator=(const NotificationWindow&) = delete;

    HWND get() const { return window_; }

private:
    bool registered_ = false;
    HWND window_ = nullptr;
};

// The tuners seen so far, in the order they were first seen, each with a handle so that
// a tuner that has gone can still be described.
class TunerWatcher {
public:
    explicit TunerWatcher(bool json) : json_(json) {}

    // Reads the attached tuners and reports what changed since the last reading
    // (nothing on the first one, which only learns what is there).
    void Refresh(bool report) {
        std::vector<OpenTuner> fresh = OpenAttachedTuners();
        std::set<std::string> seen;
        for (OpenTuner& tuner : fresh) {
            seen.insert(tuner.displayName);
            OpenTuner* known = Find(tuner.displayName);
            if (report && !(known && known->line.attached)) Print(TunerEvent::Attached, tuner.line);
            if (known) {
                *known = std::move(tuner);
            } else {
                known_.push_back(std::move(tuner));
            }
        }
        for (OpenTuner& tuner : known_) {
            // A tuner that could not be opened but is still attached has not gone.
            if (seen.count(tuner.displayName) || !tuner.line.attached || IsAttached(tuner.handle.get())) continue;
            tuner.line.attached = false;
            tuner.line.index.reset();
            if (report) Print(TunerEvent::Detached, tuner.line);
        }
    }

    // Nobody reads the lines any more (the pipe's reader has ended).
    bool OutputGone() const { return outputGone_; }

    std::size_t AttachedCount() const {
        return static_cast<std::size_t>(
            std::count_if(known_.begin(), known_.end(), [](const OpenTuner& t) { return t.line.attached; }));
    }

private:
    OpenTuner* Find(const std::string& displayName) {
        const auto found = std::find_if(known_.begin(), known_.end(),
                                        [&](const OpenTuner& t) { return t.displayName == displayName; });
        return found == known_.end() ? nullptr : &*found;
    }

    void Print(TunerEvent event, const TunerLine& line) {
        if (!WriteOut(json_ ? WatchJson(event, line, AnsiToUtf8) : WatchLine(event, line))) outputGone_ = true;
    }

    bool json_;
    bool outputGone_ = false;
    std::vector<OpenTuner> known_;
};

}  // namespace

int RunWatch(const Invocation& invocation) {
    if (!StartLibraryOrReport()) return kExitFailed;
    InterruptWatch interrupts;
    NotificationWindow window;
    if (!window.get()) {
        ReportError("cannot create the notification window (error " + std::to_string(GetLastError()) + ")");
        return kExitFailed;
    }
    OB_RegisterGeneralNotifications(window.get());

    TunerWatcher watcher(invocation.Has("--json"));
    watcher.Refresh(false);
    WriteErr("Watching " + std::to_string(watcher.AttachedCount()) + " attached tuner(s); Ctrl+C ends.\n");

    const HANDLE interrupt = interrupts.Event();
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &interrupt, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) break;
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == kRefreshMessage) {
                watcher.Refresh(true);
                if (watcher.OutputGone()) return kExitOk;
            } else {
                DispatchMessageW(&message);
            }
        }
    }
    return kExitOk;
}

}  // namespace ombrel_cli
