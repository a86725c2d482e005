#include "ChannelTune.h"

#include "ChannelFile.h"
#include "Console.h"
#include "ExitCodes.h"
#include "FrontEnd.h"
#include "FrontEndOutput.h"
#include "DeliveryTune.h"
#include "RecordChannel.h"
#include "SwitchMemory.h"
#include "TextOutput.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace ombrel_cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kPollMs = 100;

TuneOutcome AwaitLock(unsigned long handle, std::chrono::milliseconds timeout, HANDLE interrupt, bool& readFailed) {
    const Clock::time_point start = Clock::now();
    for (;;) {
        int flag = tuning::kFlagBusy;
        std::uint64_t hz = 0;
        if (!ReadTuningFlag(handle, flag, hz)) {
            readFailed = true;
            return TuneOutcome::TimedOut;
        }
        if (flag == tuning::kFlagLocked) return TuneOutcome::Locked;
        if (flag == tuning::kFlagNoSignal) return TuneOutcome::NoSignal;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (elapsed >= timeout) return TuneOutcome::TimedOut;
        if (WaitForSingleObject(interrupt, kPollMs) == WAIT_OBJECT_0) return TuneOutcome::Interrupted;
    }
}

}  // namespace

int TuneChannel(const OpenTuner& tuner, const std::string& channelName, const std::string& file,
                std::chrono::milliseconds timeout, HANDLE interrupt, std::optional<ServiceChoice>& service) {
    const std::string name = TunerName(tuner);
    std::ifstream in(file, std::ios::binary);
    if (!in) return ReportFailure(kExitNoService, "cannot read the channel file '" + file + "'");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    auto read = ReadChannelFile(text, file);
    if (const FileError* error = std::get_if<FileError>(&read)) return ReportFailure(kExitNoService, error->Text());
    const auto& channels = std::get<std::vector<Channel>>(read);
    const Channel* channel = FindChannel(channels, channelName);
    if (!channel) {
        return ReportFailure(kExitNoService, "no channel '" + channelName + "' in " + file +
                                                 (channels.empty() ? " (it holds none)" : "; it holds: " + ChannelNamesText(channels)));
    }

    PlanRefusal refusal;
    const auto plan = PlanTune(TuneArgumentsFor(channel->delivery, timeout), tuner.line.reception, name, refusal);
    if (!plan) return ReportFailure(refusal.exitCode, "channel '" + channel->name + "': " + refusal.message);
    WriteOut(LabelledLine("Tuner", TunerSummary(tuner.index, tuner.line)) +
             LabelledLine("Channel", channel->name + " (" + file + ")") + TunePlanText(*plan));
    if (const auto refused = SendTune(tuner.handle.get(), *plan)) return ReportFailedRequest(tuner.handle.get(), name, *refused);
    const auto* satellite = std::get_if<SatelliteTune>(&plan->tune);
    if (satellite && satellite->diseqcPort) RememberSwitchInput(tuner.line.guid, *satellite->diseqcPort);

    bool readFailed = false;
    const TuneOutcome outcome = AwaitLock(tuner.handle.get(), timeout, interrupt, readFailed);
    if (readFailed) return ReportFailedRequest(tuner.handle.get(), name, "the tuning flag");
    switch (outcome) {
    case TuneOutcome::Locked: break;
    case TuneOutcome::NoSignal:
        return ReportFailure(kExitNoLock, "no lock on channel '" + channel->name + "': the front end found no multiplex there");
    case TuneOutcome::TimedOut:
        return ReportFailure(kExitLockTimeout, "no lock on channel '" + channel->name + "' within " + SecondsText(timeout));
    case TuneOutcome::Interrupted:
        ReportError("stopped waiting for lock (Ctrl+C); the tuner keeps the tune");
        return kExitTuneInterrupted;
    }
    if (!service && channel->serviceId) service = ServiceChoice{std::to_string(*channel->serviceId), channel->serviceId};
    return kExitOk;
}

}  // namespace ombrel_cli
