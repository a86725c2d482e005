#include "CiSession.h"

#include "CiOutput.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Tuners.h"

#include <OmbrelApi.h>

#include <algorithm>
#include <cstdio>

namespace ombrel_cli {
namespace {

static_assert(ci_session::kOpened == OB_SUCCESS && ci_session::kFailed == OB_FAILED &&
              ci_session::kInUse == OB_IN_USE && ci_session::kNoSlot == OB_NOT_SUPPORTED);

constexpr const wchar_t* kWindowClass = L"OmbrelCliCi";
// The fastest polls the library takes: a module's coming and going is seen soonest.
constexpr unsigned long kPollMs = 50;
// How long the library and the session take at most to tell of a tuner or module gone.
constexpr DWORD kGoneGraceMs = 3000;

std::string Seconds(DWORD ms) {
    char text[24];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

}  // namespace

CiSession::CiSession(unsigned long handle) : handle_(handle), window_(kWindowClass), result_(OB_FAILED) {
    if (!window_.get()) {
        windowError_ = GetLastError();
        return;
    }
    // The window first: the session's first messages must not be dropped.
    OB_RegisterNotifications(handle_, window_.get());
    result_ = OB_CI_Open(handle_);
    if (result_ == OB_SUCCESS) OB_CI_SetPollingIntervall(handle_, kPollMs);
}

CiSession::~CiSession() {
    if (result_ == OB_SUCCESS) OB_CI_Close(handle_);
    if (window_.get()) OB_UnregisterNotifications(handle_);
}

void CiSession::HandleMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd != window_.get() || message.wParam != handle_) {
            DispatchMessageW(&message);
            continue;
        }
        switch (message.message) {
        case OMBREL_MSG_CI_MODULE_PRESENT: moduleState_ = 1; break;
        case OMBREL_MSG_CI_MODULE_READY: moduleState_ = 2; break;
        case OMBREL_MSG_CI_MODULE_GONE:
            moduleState_ = 0;
            moduleLeft_ = true;
            break;
        case OMBREL_MSG_DETACHED: tunerLeft_ = true; break;
        default: break;  // the pending-event flags say nothing ombrel shows
        }
    }
}

CiSession::WaitEnd CiSession::Wait(HANDLE interrupt, HANDLE other, DWORD timeoutMs, const std::function<bool()>& done) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HandleMessages();
        if (done()) return WaitEnd::Done;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return WaitEnd::TimedOut;
        const HANDLE handles[2] = {interrupt, other};
        const DWORD count = other ? 2 : 1;
        const DWORD left = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
        const DWORD woken = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return WaitEnd::Interrupted;
        if (other && woken == WAIT_OBJECT_0 + 1) {
            HandleMessages();
            return WaitEnd::Signalled;
        }
    }
}

bool ReportWithoutWindow(const CiSession& session) {
    if (session.HasWindow()) return false;
    ReportError("cannot create the window for the Common Interface session's messages (error " +
                std::to_string(session.WindowError()) + ")");
    return true;
}

std::optional<CiApplication> ReadApplication(unsigned long handle) {
    unsigned short manufacturer = 0;
    unsigned short code = 0;
    unsigned char length = 0;
    char menu[OMBREL_CI_MENU_STRING_SIZE] = {};
    if (OB_CI_GetApplicationInfo(handle, &manufacturer, &code, &length, reinterpret_cast<unsigned char*>(menu)) !=
        OB_SUCCESS) {
        return std::nullopt;
    }
    return CiApplication{manufacturer, code, std::string(menu, length)};
}

int AwaitReadyModule(CiSession& session, const std::string& tunerName, DWORD timeoutMs, HANDLE interrupt) {
    const ULONGLONG start = GetTickCount64();
    const auto ready = [&] { return session.ModuleState() == 2 || session.TunerLeft(); };
    const auto seen = [&] { return session.ModuleState() >= 1 || session.TunerLeft(); };
    CiSession::WaitEnd end = session.Wait(interrupt, nullptr, std::min(timeoutMs, kModuleSeenMs), seen);
    if (end == CiSession::WaitEnd::Done && !session.TunerLeft()) {
        const DWORD spent = static_cast<DWORD>(GetTickCount64() - start);
        end = session.Wait(interrupt, nullptr, timeoutMs - std::min(timeoutMs, spent), ready);
    }
    if (end == CiSession::WaitEnd::Interrupted) {
        ReportError("stopped waiting for the module of " + tunerName);
        return kExitCiInterrupted;
    }
    if (session.TunerLeft()) {
        ReportError(tunerName + " went away");
        return kExitNoTuner;
    }
    if (session.ModuleState() == 2) return kExitOk;
    if (session.ModuleState() == 1) {
        return ReportFailure(kExitCiNoModule, "the module in the Common Interface slot of " + tunerName +
                                                  " did not become ready within " + Seconds(timeoutMs));
    }
    if (session.ModuleLeft()) {
        return ReportFailure(kExitCiNoModule,
                             "the module left the Common Interface slot of " + tunerName + " before it was ready");
    }
    return ReportFailure(kExitCiNoModule, "no module in the Common Interface slot of " + tunerName);
}

int ReportModuleOrTunerGone(CiSession& session, const std::string& tunerName, HANDLE interrupt) {
    // The poll sees a module leave within a poll; the library learns of a tuner's going
    // a moment after the driver does.
    session.Wait(interrupt, nullptr, kGoneGraceMs,
                 [&] { return session.ModuleLeft() || session.TunerLeft() || !IsAttached(session.Handle()); });
    if (session.TunerLeft() || !IsAttached(session.Handle())) {
        ReportError(tunerName + " went away");
        return kExitNoTuner;
    }
    ReportError(session.ModuleLeft() ? "the module left the Common Interface slot of " + tunerName
                                     : "the module in the Common Interface slot of " + tunerName + " does not answer");
    return kExitCiModuleGone;
}

}  // namespace ombrel_cli
