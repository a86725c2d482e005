// A tuner's Common Interface session for one verb: opened through the tuner's handle with
// the handle's messages going to a hidden window of this thread, and closed (the window
// unset) however the verb ends. What the session's messages tell of the module and the
// tuner is kept here while the verb waits.
#pragma once

#include "CiOutput.h"
#include "MessageWindow.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace ombrel_cli {

class CiSession {
public:
    explicit CiSession(unsigned long handle);
    ~CiSession();
    CiSession(const CiSession&) = delete;
    CiSession& operator=(const CiSession&) = delete;

    // False when the window could not be made; the session was not opened then.
    bool HasWindow() const { return window_.get() != nullptr; }
    DWORD WindowError() const { return windowError_; }
    // OB_CI_Open's result.
    unsigned long OpenResult() const { return result_; }
    bool IsOpen() const { return result_ == 0; }
    unsigned long Handle() const { return handle_; }

    // The module as the session's messages tell: 0 none seen, 1 present, 2 ready.
    int ModuleState() const { return moduleState_; }
    bool ModuleLeft() const { return moduleLeft_; }  // it left the slot since the open
    bool TunerLeft() const { return tunerLeft_; }

    enum class WaitEnd { Done, TimedOut, Interrupted, Signalled };
    // Handles the window's messages until `done()` holds, `timeoutMs` have passed,
    // `interrupt` is signalled, or `other` (may be null) is.
    WaitEnd Wait(HANDLE interrupt, HANDLE other, DWORD timeoutMs, const std::function<bool()>& done);

private:
    void HandleMessages();

    unsigned long handle_;
    MessageWindow window_;
    unsigned long result_;
    DWORD windowError_ = 0;
    int moduleState_ = 0;
    bool moduleLeft_ = false;
    bool tunerLeft_ = false;
};

// Reports a session that could not be opened for want of its window; false when it has
// one.
bool ReportWithoutWindow(const CiSession& session);

// The module's application information (a query that needs no session); nothing when
// the driver gives none (no module, or not ready).
std::optional<CiApplication> ReadApplication(unsigned long handle);

// How long a module in the slot takes at most to be reported by the session's first
// polls.
inline constexpr DWORD kModuleSeenMs = 3000;

// Waits until the session's module is ready (seen within kModuleSeenMs, ready within
// `timeoutMs`); kExitOk then. Otherwise reports why (no module, not ready in time, the
// tuner went, Ctrl+C) and returns the exit code.
int AwaitReadyModule(CiSession& session, const std::string& tunerName, DWORD timeoutMs, HANDLE interrupt);

// After a request of the module failed or went unanswered: whether the tuner went away
// (kExitNoTuner) or the module left its slot (kExitCiModuleGone), as the session's
// messages and the library tell within a moment; reported.
int ReportModuleOrTunerGone(CiSession& session, const std::string& tunerName, HANDLE interrupt);

}  // namespace ombrel_cli
