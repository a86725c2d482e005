// 'tune': the tune worked out for the tuner's model, its requests, then the tuning flag
// polled until lock, no signal, the timeout or Ctrl+C.
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "FrontEnd.h"
#include "Interrupts.h"
#include "SwitchMemory.h"
#include "TextOutput.h"
#include "Tuners.h"

#include <windows.h>

#include <chrono>

namespace ombrel_cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollPeriod{100};

struct WaitResult {
    std::optional<TuneOutcome> outcome;  // none: the flag could not be read
    std::chrono::milliseconds elapsed{0};
};

WaitResult WaitForLock(unsigned long handle, std::chrono::milliseconds timeout) {
    InterruptWatch interrupts;
    const Clock::time_point start = Clock::now();
    WaitResult result;
    for (;;) {
        int flag = tuning::kFlagBusy;
        std::uint64_t hz = 0;
        const bool read = ReadTuningFlag(handle, flag, hz);
        result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (!read) return result;
        if (flag == tuning::kFlagLocked || flag == tuning::kFlagNoSignal) {
            result.outcome = flag == tuning::kFlagLocked ? TuneOutcome::Locked : TuneOutcome::NoSignal;
            return result;
        }
        if (result.elapsed >= timeout) {
            result.outcome = TuneOutcome::TimedOut;
            return result;
        }
        const auto wait = std::min(kPollPeriod, timeout - result.elapsed);
        if (WaitForSingleObject(interrupts.Event(), static_cast<DWORD>(wait.count())) == WAIT_OBJECT_0) {
            result.outcome = TuneOutcome::Interrupted;
            result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            return result;
        }
    }
}

int ExitCodeOf(TuneOutcome outcome) {
    switch (outcome) {
    case TuneOutcome::Locked: return kExitOk;
    case TuneOutcome::NoSignal: return kExitNoLock;
    case TuneOutcome::TimedOut: return kExitLockTimeout;
    case TuneOutcome::Interrupted: break;
    }
    return kExitTuneInterrupted;
}

}  // namespace

int RunTune(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseTuneArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    const unsigned long handle = tuner.handle.get();
    const std::string name = TunerName(tuner);

    PlanRefusal refusal;
    const auto plan = PlanTune(arguments, tuner.line.reception, name, refusal);
    if (!plan) {
        if (refusal.exitCode == kExitUsage) {
            ReportUsageError(invocation.verb->name, refusal.message);
        } else {
            ReportError(refusal.message);
        }
        return refusal.exitCode;
    }
    if (!arguments.json) WriteOut(LabelledLine("Tuner", TunerSummary(tuner.index, tuner.line)) + TunePlanText(*plan));
    if (const auto refused = SendTune(handle, *plan)) return ReportFailedRequest(handle, name, *refused);
    const auto* satellite = std::get_if<SatelliteTune>(&plan->tune);
    if (satellite && satellite->diseqcPort) RememberSwitchInput(tuner.line.guid, *satellite->diseqcPort);

    WriteErr("Waiting up to " + SecondsText(arguments.timeout) + " for lock; Ctrl+C stops waiting.\n");
    const WaitResult waited = WaitForLock(handle, arguments.timeout);
    const auto reading = waited.outcome ? ReadFrontEnd(handle) : std::nullopt;
    if (!reading) return ReportFailedRequest(handle, name, "the front end's status");

    if (arguments.json) {
        WriteOut(TuneJson(tuner.line, *plan, *waited.outcome, waited.elapsed, *reading, AnsiToUtf8));
    } else {
        WriteOut(LabelledLine("Result", TuneResultText(*waited.outcome, *reading, waited.elapsed)) + StatusText(*reading));
    }
    if (*waited.outcome != TuneOutcome::Locked) {
        // Where the switch was left matters only when this tune did not set it.
        const auto switchInput =
            satellite && !satellite->diseqcPort ? RememberedSwitchInput(tuner.line.guid) : std::nullopt;
        ReportError(TuneFailureText(*waited.outcome, *plan, arguments.timeout, switchInput));
    }
    return ExitCodeOf(*waited.outcome);
}

}  // namespace ombrel_cli
