// 'ci': the tuner's Common Interface. status and info open the tuner's session to watch
// the slot (when another program has it, what needs no session is still read); menu is
// in CiMenuWalk.cpp. The session is closed however the verb ends.
#include "CiArguments.h"
#include "CiMenuWalk.h"
#include "CiOutput.h"
#include "CiSession.h"
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "Tuners.h"

#include <OmbrelApi.h>

namespace ombrel_cli {
namespace {

// After the module was seen, how long status waits for it to be reported ready too.
constexpr DWORD kReadyAfterSeenMs = 1000;

std::string Decode(std::string_view text) { return AnsiToUtf8(text); }

// The module's state through the open session: ready at once when it answers, else as
// the first polls report it.
CiModule WatchModule(CiSession& session, HANDLE interrupt, std::optional<CiApplication>& application) {
    application = ReadApplication(session.Handle());
    if (application) return CiModule::Ready;
    const auto seen = [&] { return session.ModuleState() >= 1 || session.TunerLeft(); };
    const auto ready = [&] { return session.ModuleState() == 2 || session.TunerLeft(); };
    if (session.Wait(interrupt, nullptr, kModuleSeenMs, seen) == CiSession::WaitEnd::Done) {
        session.Wait(interrupt, nullptr, kReadyAfterSeenMs, ready);
    }
    if (session.ModuleState() == 2) {
        application = ReadApplication(session.Handle());
        return CiModule::Ready;
    }
    return session.ModuleState() == 1 ? CiModule::Starting : CiModule::None;
}

int Status(const OpenTuner& tuner, const CiArguments& arguments) {
    const std::string name = TunerName(tuner);
    InterruptWatch interrupts;
    CiSession session(tuner.handle.get());
    if (ReportWithoutWindow(session)) return kExitFailed;
    CiStatusReport report;
    switch (session.OpenResult()) {
    case ci_session::kOpened:
        report.slot = true;
        report.module = WatchModule(session, interrupts.Event(), report.application);
        break;
    case ci_session::kInUse:
        report.slot = true;
        report.inUse = true;
        report.application = ReadApplication(tuner.handle.get());
        if (report.application) report.module = CiModule::Ready;
        break;
    case ci_session::kNoSlot: break;
    default: {
        const CiRefusal refusal = CiOpenRefusal(session.OpenResult(), name);
        return ReportFailure(refusal.exitCode, refusal.message);
    }
    }
    if (interrupts.Count() > 0) {
        ReportError("stopped waiting for the module of " + name);
        return kExitCiInterrupted;
    }
    if (session.TunerLeft() || !IsAttached(tuner.handle.get())) {
        ReportError(name + " went away");
        return kExitNoTuner;
    }
    return WriteResult(arguments.json ? CiStatusJson(tuner.line, report, &Decode)
                                      : CiStatusText(tuner.index, tuner.line, report));
}

int Info(const OpenTuner& tuner, const CiArguments& arguments) {
    const std::string name = TunerName(tuner);
    const unsigned long handle = tuner.handle.get();
    InterruptWatch interrupts;
    CiSession session(handle);
    if (ReportWithoutWindow(session)) return kExitFailed;
    const unsigned long opened = session.OpenResult();
    if (opened != ci_session::kOpened && opened != ci_session::kInUse) {
        const CiRefusal refusal = CiOpenRefusal(opened, name);
        return ReportFailure(refusal.exitCode, refusal.message);
    }
    // Another program's session: the queries need none, but nobody here watches the slot.
    if (opened == ci_session::kOpened && !ReadApplication(handle)) {
        const int waited = AwaitReadyModule(session, name, static_cast<DWORD>(arguments.timeout.count()),
                                            interrupts.Event());
        if (waited != kExitOk) return waited;
    }
    const auto application = ReadApplication(handle);
    if (!application) {
        if (!IsAttached(handle)) {
            ReportError(name + " went away");
            return kExitNoTuner;
        }
        return ReportFailure(kExitCiNoModule,
                             opened == ci_session::kInUse
                                 ? "no ready module answers in the Common Interface slot of " + name +
                                       " (another program has its session open)"
                                 : "the module in the Common Interface slot of " + name +
                                       " gave no application information");
    }
    CiInfoReport report{*application, std::nullopt};
    unsigned char dateTime = 0;
    if (OB_CI_GetDateTimeInfo(handle, &dateTime) == OB_SUCCESS) report.dateTime = dateTime;
    return WriteResult(arguments.json ? CiInfoJson(tuner.line, report, &Decode)
                                      : CiInfoText(tuner.index, tuner.line, report));
}

}  // namespace

int RunCi(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseCiArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    switch (arguments.action) {
    case CiAction::Status: return Status(tuner, arguments);
    case CiAction::Info: return Info(tuner, arguments);
    case CiAction::Menu: return WalkCiMenu(tuner, arguments);
    }
    return kExitFailed;
}

}  // namespace ombrel_cli
