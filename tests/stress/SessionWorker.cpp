#include "SessionWorker.h"

#include <OmbrelApi.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "ComScope.h"
#include "SessionLedger.h"

namespace stress {
namespace {

// A stop waits this long for a reader whose read the driver does not give back; on a
// loaded machine it may take longer by this much before it is a fault.
constexpr unsigned long kStopBoundMs = 3000;
constexpr unsigned long kStopSlackMs = 7000;
constexpr DWORD kLongestHoldMs = 200;
constexpr unsigned long kPollMs = 50;

constexpr const wchar_t* kWindowClass = L"OmbrelStressSession";

// Registered once per process, whichever worker comes first. Wine loses the class now and
// then when threads register it at the same moment: the losers' registration fails, and so
// does their CreateWindowEx (1411, no such class), as if the winner's were not there yet.
void RegisterWindowClassOnce() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;  // creation below tells
}

// A window of the worker's own thread that the library posts to (message-only: it takes
// posted messages like any other).
class ThreadWindow {
public:
    ThreadWindow() {
        RegisterWindowClassOnce();
        window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
        if (!window_) error_ = GetLastError();
    }
    ThreadWindow(const ThreadWindow&) = delete;
    ThreadWindow& operator=(const ThreadWindow&) = delete;
    ~ThreadWindow() {
        if (window_) DestroyWindow(window_);
    }
    HWND Get() const { return window_; }
    DWORD Error() const { return error_; }

private:
    HWND window_ = nullptr;
    DWORD error_ = 0;
};

class SessionWorker {
public:
    SessionWorker(Heartbeat& heart, const SessionShared& shared) : heart_(heart), shared_(shared), ci_(shared.run == Run::Ci) {
        if (!window_.Get()) shared_.tally.Fault("cannot create the worker's window: error " + std::to_string(window_.Error()));
    }
    ~SessionWorker() {
        std::lock_guard<std::mutex> guard(shared_.counts.lock);
        for (const auto& [message, count] : ledger_.Counts()) shared_.counts.messages[message] += count;
    }

    void Once(std::minstd_rand& random) {
        heart_.Beat("opening a tuner");
        unsigned long count = 0;
        Expect("OB_GetNumberOfDevices", OB_GetNumberOfDevices(&count), OB_SUCCESS);
        if (count == 0) return;
        unsigned long handle = 0;
        ++shared_.tally.operations;
        const unsigned long opened = OB_OpenDeviceHandle(random() % count, &handle);
        if (opened != OB_SUCCESS || handle == 0) {
            // The tuners stay plugged for the whole run.
            shared_.tally.Fault("open answered " + std::to_string(opened) + " with handle " + std::to_string(handle));
            return;
        }
        ++shared_.tally.opens;
        const int slot = Slot(handle);
        Expect("OB_RegisterNotifications", OB_RegisterNotifications(handle, window_.Get()), OB_SUCCESS);
        bool handleOpen = true;
        if (slot >= 0) {
            if (ci_) {
                handleOpen = CiSession(handle, slot, random);
            } else {
                handleOpen = Reader(handle, slot, random);
            }
        }
        if (handleOpen) {
            heart_.Beat("closing a handle");
            Expect("OB_CloseDeviceHandle", OB_CloseDeviceHandle(handle), OB_SUCCESS);
        }
        Pump(slot);
    }

private:
    int Slot(unsigned long handle) {
        char guid[OMBREL_GUID_STRING_SIZE] = {};
        Expect("OB_GetGUIDString", OB_GetGUIDString(handle, guid), OB_SUCCESS);
        const auto found = std::find(shared_.guids.begin(), shared_.guids.end(), std::string(guid));
        if (found == shared_.guids.end()) {
            shared_.tally.Fault(std::string("unknown GUID text ") + guid);
            return -1;
        }
        return static_cast<int>(found - shared_.guids.begin());
    }

    // 0 or 1 (the driver or the module said no); 2 means the library lost the handle.
    void Answered(const char* call, unsigned long code) {
        ++shared_.tally.operations;
        if (code == OB_SUCCESS || code == OB_FAILED) return;
        shared_.tally.Fault(std::string(call) + (code == OB_INVALID_HANDLE ? " answered 2 on an open handle" : " answered ") +
                            (code == OB_INVALID_HANDLE ? "" : std::to_string(code)));
    }

    void Expect(const char* call, unsigned long code, unsigned long expected) {
        ++shared_.tally.operations;
        if (code != expected) shared_.tally.Fault(std::string(call) + " answered " + std::to_string(code));
    }

    // An open or start answered: true when this thread now owns the session (reader).
    bool Claimed(const char* call, unsigned long code, unsigned long handle, int slot) {
        ++shared_.tally.operations;
        if (code == OB_FAILED || code == OB_IN_USE) {
            ++shared_.counts.refused;
            if (code == OB_IN_USE) ++shared_.counts.inUse;
            return false;
        }
        if (code != OB_SUCCESS) {
            shared_.tally.Fault(std::string(call) + " answered " + std::to_string(code));
            return false;
        }
        ++shared_.counts.sessions;
        if (shared_.census.Join(slot) != 1) {
            shared_.tally.Fault(std::string(ci_ ? "two Common Interface sessions" : "two remote-control readers") +
                                " at once on tuner " + shared_.guids[static_cast<std::size_t>(slot)]);
        }
        ledger_.Opened(handle);
        return true;
    }

    // Ends what the handle owns: by its own call, or now and then by closing the handle,
    // which must end it first. True when the handle is still open.
    bool Release(unsigned long handle, int slot, std::minstd_rand& random) {
        shared_.census.Leave(slot);
        const bool closeHandle = random() % 8 == 0;
        heart_.Beat(ci_ ? "closing a session" : "stopping a reader");
        const ULONGLONG began = GetTickCount64();
        if (closeHandle) {
            ++shared_.counts.handleCloses;
            Expect("OB_CloseDeviceHandle", OB_CloseDeviceHandle(handle), OB_SUCCESS);
        } else if (ci_) {
            Expect("OB_CI_Close", OB_CI_Close(handle), OB_SUCCESS);
        } else {
            Expect("OB_RemoteControl_Stop", OB_RemoteControl_Stop(handle), OB_SUCCESS);
        }
        const auto took = static_cast<unsigned long>(GetTickCount64() - began);
        unsigned long longest = shared_.counts.longestStopMs.load();
        while (took > longest && !shared_.counts.longestStopMs.compare_exchange_weak(longest, took)) {
        }
        if (!ci_ && took > kStopBoundMs + kStopSlackMs) {
            shared_.tally.Fault("a reader's stop took " + std::to_string(took) + " ms");
        }
        // What was posted before the end returned belongs to the session; nothing after.
        Pump(slot);
        ledger_.Closed(handle);
        return !closeHandle;
    }

    bool CiSession(unsigned long handle, int slot, std::minstd_rand& random) {
        heart_.Beat("opening a session");
        if (!Claimed("OB_CI_Open", OB_CI_Open(handle), handle, slot)) {
            SessionCalls(handle);  // commands and queries need no session
            return true;
        }
        Expect("OB_CI_SetPollingIntervall", OB_CI_SetPollingIntervall(handle, kPollMs), OB_SUCCESS);
        SessionCalls(handle);
        Hold(slot, random);
        SessionCalls(handle);
        return Release(handle, slot, random);
    }

    void SessionCalls(unsigned long handle) {
        heart_.Beat("calling the module");
        unsigned short manufacturer = 0, code = 0;
        unsigned char length = 0;
        unsigned char menu[OMBREL_CI_MENU_STRING_SIZE];
        Answered("OB_CI_GetApplicationInfo", OB_CI_GetApplicationInfo(handle, &manufacturer, &code, &length, menu));
        Answered("OB_CI_EnterMenu", OB_CI_EnterMenu(handle));
        Answered("OB_CI_CloseMMI", OB_CI_CloseMMI(handle));
        const unsigned char pmt[] = {0x02, 0xB0, 0x12, 0x00, 0x64, 0xC1, 0x00, 0x00, 0xE1, 0x00,
                                     0xF0, 0x00, 0x02, 0xE1, 0x00, 0xF0, 0x00, 0x00, 0x00, 0x00};
        Answered("OB_CI_SendPMT", OB_CI_SendPMT(handle, sizeof pmt, pmt));
    }

    bool Reader(unsigned long handle, int slot, std::minstd_rand& random) {
        heart_.Beat("starting a reader");
        if (!Claimed("OB_RemoteControl_Start", OB_RemoteControl_Start(handle), handle, slot)) {
            // A stop through a handle that does not own the reader changes nothing.
            Expect("OB_RemoteControl_Stop", OB_RemoteControl_Stop(handle), OB_FAILED);
            return true;
        }
        Hold(slot, random);
        return Release(handle, slot, random);
    }

    void Hold(int slot, std::minstd_rand& random) {
        const ULONGLONG end = GetTickCount64() + random() % kLongestHoldMs;
        do {
            heart_.Beat(ci_ ? "holding a session" : "holding a reader");
            Pump(slot);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } while (GetTickCount64() < end);
    }

    // Takes every message queued for the thread and holds the library's against the
    // ledger (and, for keys, against the census of codes received).
    void Pump(int slot) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message < kMsgCiPresent || msg.message > kMsgRemoteKey) {
                DispatchMessageW(&msg);
                continue;
            }
            const auto handle = static_cast<std::uint32_t>(msg.wParam);
            const auto lParam = static_cast<std::uint32_t>(msg.lParam);
            if (msg.hwnd != window_.Get()) shared_.tally.Fault("a library message for another window");
            if (auto problem = ledger_.Received(msg.message, handle, lParam)) shared_.tally.Fault(*problem);
            if (msg.message == kMsgRemoteKey && slot >= 0 && lParam <= 0xFFFF &&
                !shared_.census.FirstReceipt(slot, static_cast<std::uint16_t>(lParam))) {
                shared_.tally.Fault("key " + std::to_string(lParam) + " received twice on tuner " +
                                    shared_.guids[static_cast<std::size_t>(slot)]);
            }
        }
    }

    Heartbeat& heart_;
    const SessionShared& shared_;
    const bool ci_;
    ThreadWindow window_;
    SessionLedger ledger_;
};

}  // namespace

void RunSessionWorker(unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart, const SessionShared& shared) {
    ComScope com;
    std::minstd_rand random(seed);
    {
        SessionWorker worker(heart, shared);
        while (!stop.load()) worker.Once(random);
    }
    heart.Rest();
}

std::string DescribeCounts(Run run, SessionCounts& counts) {
    const bool ci = run == Run::Ci;
    std::string text = std::string(ci ? "sessions: " : "readers: ") + std::to_string(counts.sessions.load()) +
                       (ci ? " opened, " : " started, ") + std::to_string(counts.refused.load()) + " refused (" +
                       std::to_string(counts.inUse.load()) + " held by the other process), " +
                       std::to_string(counts.handleCloses.load()) + " ended by closing the handle; messages";
    std::lock_guard<std::mutex> guard(counts.lock);
    for (const auto& [message, count] : counts.messages) {
        char item[40];
        std::snprintf(item, sizeof item, " 0x%X %lld", message, count);
        text += item;
    }
    if (counts.messages.empty()) text += " none";
    return text + "; longest " + (ci ? "close " : "stop ") + std::to_string(counts.longestStopMs.load()) + " ms";
}

}  // namespace stress
