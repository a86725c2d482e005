#include "UpdateRun.h"

#include "CompanionTools.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "Progress.h"
#include "Tuners.h"
#include "UpdateRules.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <chrono>

namespace ombrel_cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollPeriod{400};

constexpr const char* kGoesOnText =
    "Ctrl+C: the update goes on in the tuner; waiting for its end. Press Ctrl+C again to stop waiting.\n";
constexpr const char* kAbandonedText =
    "Stopped waiting. The update goes on in the tuner: do not unplug it before it has finished.\n"
    "The companion programs were not started again.\n";

class Run {
public:
    Run(unsigned long handle, const unsigned char* image) : handle_(handle), image_(image), report_(OutIsConsole()) {}

    int Execute() {
        companions_.Close();
        start_ = Clock::now();
        if (OB_UpdateFirmware(handle_, image_) != OB_SUCCESS) {
            WriteErr(std::string(romflux::kUpdateStartFailedText) + "\n");
            return kExitUpdateRefused;
        }
        Clock::time_point nextPoll = start_ + kPollPeriod;
        for (;;) {
            if (WaitUntil(nextPoll)) {
                if (interrupts_.Count() >= 2) return Abandon();
                continue;
            }
            nextPoll = std::max(nextPoll + kPollPeriod, Clock::now());
            if (const auto end = Poll()) return *end;
        }
    }

private:
    // Waits for the poll time; true when an interrupt came first.
    bool WaitUntil(Clock::time_point when) {
        const auto now = Clock::now();
        const auto wait = when > now ? std::chrono::ceil<std::chrono::milliseconds>(when - now).count() : 0;
        if (WaitForSingleObject(interrupts_.Event(), static_cast<DWORD>(wait)) != WAIT_OBJECT_0) return false;
        if (!toldGoesOn_) {
            toldGoesOn_ = true;
            WriteOut(report_.Finish());
            WriteErr(kGoesOnText);
        }
        return true;
    }

    int Abandon() {
        WriteOut(report_.Finish());
        WriteErr(kAbandonedText);
        return kExitUpdateAbandoned;
    }

    // One status poll; the exit code when the run has ended.
    std::optional<int> Poll() {
        OMBREL_FIRMWARE_UPDATE_STATUS status{};
        const bool read = OB_GetRomfluxStatus(handle_, &status) == OB_SUCCESS;
        const romflux::UpdateStatus reported{status.Progress, status.State, status.ErrorCode};
        const romflux::PollDecision decision = DecideConsolePoll(read, IsAttached(handle_), reported);
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_).count();
        if (decision.outcome != romflux::PollOutcome::Detached) {
            WriteOut(report_.Poll(decision.barPosition, static_cast<unsigned>(elapsed)));
        }
        if (decision.outcome == romflux::PollOutcome::Running) return std::nullopt;

        WriteOut(report_.Finish());
        if (decision.restartBeforeMessage) companions_.Restart(nullptr);
        if (decision.outcome == romflux::PollOutcome::Succeeded) {
            WriteOut(decision.message + "\n");
        } else {
            WriteErr(decision.message + "\n");
        }
        if (decision.restartAfterMessage) companions_.Restart(nullptr);
        return ExitCodeForRun(decision, reported.errorCode);
    }

    unsigned long handle_;
    const unsigned char* image_;
    ProgressReport report_;
    InterruptWatch interrupts_;
    romflux::CompanionTools companions_;  // base prefix: this program's folder, as Romflux's
    Clock::time_point start_;
    bool toldGoesOn_ = false;
};

}  // namespace

int FlashAndFollow(unsigned long handle, const unsigned char* image) { return Run(handle, image).Execute(); }

}  // namespace ombrel_cli
