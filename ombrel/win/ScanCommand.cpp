// 'scan': tunes each candidate of the plan, waits for lock only until the front end has
// settled, reads the tables of each multiplex that locks from the tuner's stream until
// they are whole, adds what the NITs list, and prints a line per candidate, the summary
// and the channel file. Ctrl+C and the tuner's going end it with what was found kept.
#include "Commands.h"
#include "Console.h"
#include "DeliveryTune.h"
#include "ExitCodes.h"
#include "FrontEnd.h"
#include "Interrupts.h"
#include "ScanArguments.h"
#include "ScanFindings.h"
#include "ScanOutput.h"
#include "ScanPlan.h"
#include "StreamTables.h"
#include "Tuners.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace ombrel_cli {
namespace {

using Clock = std::chrono::steady_clock;
// How often the tuning flag is read while the front end settles: a small share of a
// settle, so that the scan moves on promptly.
constexpr std::chrono::milliseconds kLockPoll{10};

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return text.str();
}

bool Belongs(DeliverySystem system, Reception family) {
    switch (family) {
    case Reception::Satellite: return IsSatellite(system);
    case Reception::Terrestrial: return system == DeliverySystem::DvbT;
    case Reception::Atsc: return system == DeliverySystem::Atsc;
    default: return false;
    }
}

// The tune of one candidate as 'tune' plans it, with the whole stream passed (an earlier
// recording may have left the PID filter narrowed). None when the tuner cannot be asked
// for it: an LNB that cannot reach it, or a modulation the tuner does not have.
std::optional<TunePlan> PlanFor(const Delivery& d, Reception family, const LnbSetting& lnb,
                                std::chrono::milliseconds timeout) {
    TuneArguments a = TuneArgumentsFor(d, timeout);
    if (family == Reception::Satellite) a.lnb = lnb;
    a.pids = std::vector<std::uint16_t>{tuning::kPidAll};
    PlanRefusal refused;
    return PlanTune(a, family, "", refused);
}

// After a failed request: whether the tuner has gone. The library learns of an unplug a
// moment after the driver does, so this gives it that moment.
bool Gone(unsigned long handle) {
    for (int i = 0; i < 20 && IsAttached(handle); ++i) Sleep(50);
    return !IsAttached(handle);
}

enum class Wait { Locked, NoSignal, TimedOut, Interrupted, Gone };

struct LockWait {
    Wait end = Wait::NoSignal;
    FrontEndReading reading;
};

// Polls the front end until it has settled: locked, or no signal (with or without a
// carrier), and never longer than `timeout`.
LockWait WaitForLock(unsigned long handle, std::chrono::milliseconds timeout, HANDLE interrupt) {
    const Clock::time_point start = Clock::now();
    LockWait result;
    for (;;) {
        const auto reading = ReadFrontEnd(handle);
        if (!reading) {
            result.end = Gone(handle) ? Wait::Gone : Wait::NoSignal;
            return result;
        }
        result.reading = *reading;
        if (reading->flag == tuning::kFlagLocked) {
            result.end = Wait::Locked;
            return result;
        }
        if (reading->flag == tuning::kFlagNoSignal) {
            result.end = Wait::NoSignal;
            return result;
        }
        if (Since(start) >= timeout) {
            result.end = Wait::TimedOut;
            return result;
        }
        if (WaitForSingleObject(interrupt, static_cast<DWORD>(kLockPoll.count())) == WAIT_OBJECT_0) {
            result.end = Wait::Interrupted;
            return result;
        }
    }
}

// Whether an output file can be written, found out before the scan and without leaving
// a file behind that was not there.
std::optional<std::string> CheckWritable(const std::string& path) {
    const bool existed = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    {
        std::ofstream probe(path, std::ios::binary | std::ios::app);
        if (!probe) return "cannot write the channel file " + path;
    }
    if (!existed) DeleteFileA(path.c_str());
    return std::nullopt;
}

bool WriteChannels(const std::string& path, std::span<const ScannedMultiplex> multiplexes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string text = WriteChannelFile(ChannelsOf(multiplexes));
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

class Scan {
public:
    Scan(unsigned long handle, const ScanArguments& arguments, Reception family, ScanPlan plan)
        : handle_(handle), arguments_(arguments), family_(family), plan_(std::move(plan)), tables_(handle) {}

    HRESULT StreamResult() const { return tables_.StartResult(); }

    ScanEnd Run() {
        const LnbSetting lnb = arguments_.lnb.value_or(LnbSetting{});
        while (auto candidate = plan_.Next()) {
            const ScanEnd end = Try(*candidate, lnb);
            if (end != ScanEnd::Complete) return end;
        }
        return ScanEnd::Complete;
    }

    const std::vector<ScannedMultiplex>& Found() const { return found_; }
    const std::vector<std::uint8_t>& InputsAnswering() const { return inputs_; }
    std::size_t Tried() const { return plan_.Tried(); }

private:
    // One candidate: its tune (again with each further symbol rate while a carrier does
    // not lock), its tables when it locks, its line.
    ScanEnd Try(Candidate& c, const LnbSetting& lnb) {
        const Clock::time_point start = Clock::now();
        ScanAttempt attempt{plan_.Tried(), plan_.Total(), c.label, AttemptOutcome::NoSignal, nullptr, 0, {}};
        LockWait waited;
        for (std::size_t next = 0;; ++next) {
            const auto tune = PlanFor(c.delivery, family_, lnb, arguments_.timeout);
            if (!tune) break;  // passed over like a candidate without signal
            if (SendTune(handle_, *tune)) {
                if (Gone(handle_)) return ScanEnd::TunerGone;
                break;  // refused: passed over like a candidate without signal
            }
            waited = WaitForLock(handle_, arguments_.timeout, interrupts_.Event());
            if (waited.end != Wait::NoSignal || !waited.reading.carrier || next >= c.otherSymbolRates.size()) break;
            c.delivery.symbolRate = c.otherSymbolRates[next];
        }
        switch (waited.end) {
        case Wait::Gone: return ScanEnd::TunerGone;
        case Wait::Interrupted: return ScanEnd::Interrupted;
        case Wait::TimedOut: attempt.outcome = AttemptOutcome::LockTimeout; break;
        case Wait::NoSignal: attempt.outcome = waited.reading.carrier ? AttemptOutcome::NoLock : AttemptOutcome::NoSignal; break;
        case Wait::Locked: attempt.outcome = AttemptOutcome::Locked; break;
        }
        ScanEnd end = ScanEnd::Complete;
        if (attempt.outcome == AttemptOutcome::Locked) {
            end = ReadMultiplex(c, waited.reading, attempt);
        }
        attempt.elapsed = Since(start);
        attempt.total = plan_.Total();
        Print(attempt);
        return end;
    }

    ScanEnd ReadMultiplex(const Candidate& c, const FrontEndReading& reading, ScanAttempt& attempt) {
        Delivery tuned = c.delivery;
        if (reading.frequencyHz) tuned.frequencyKHz = static_cast<std::uint32_t>(reading.frequencyHz / 1000);
        talvex::tables::Needs needs;
        needs.nit = !c.networkKnown && family_ != Reception::Atsc;
        const StreamTablesResult read = tables_.Read(needs, arguments_.timeout, interrupts_.Event());
        switch (read.end) {
        case TablesEnd::Interrupted:
            Keep(c, tuned, read, attempt);
            return ScanEnd::Interrupted;
        case TablesEnd::TunerLost: return ScanEnd::TunerGone;
        case TablesEnd::StreamFailed: return Gone(handle_) ? ScanEnd::TunerGone : ScanEnd::Complete;
        case TablesEnd::Complete:
        case TablesEnd::TimedOut: break;
        }
        Keep(c, tuned, read, attempt);
        return ScanEnd::Complete;
    }

    // Records what was read (unless it is a multiplex found before, reached again) and
    // adds what its NIT lists.
    bool Keep(const Candidate& c, const Delivery& tuned, const StreamTablesResult& read, ScanAttempt& attempt) {
        if (read.multiplex.services.empty() && read.multiplex.transportStreamId == 0) return false;
        ScannedMultiplex m = ScannedFrom(read.multiplex, tuned, c.label, read.missing);
        plan_.Found(tuned);
        plan_.Found(m.delivery);
        if (c.delivery.satelliteNumber &&
            std::find(inputs_.begin(), inputs_.end(), *c.delivery.satelliteNumber) == inputs_.end()) {
            inputs_.push_back(*c.delivery.satelliteNumber);
        }
        if (!read.multiplex.transports.empty()) {
            attempt.added = plan_.AddFromNetwork(NetworkDeliveries(read.multiplex), c.delivery.satelliteNumber);
        }
        const bool again = std::any_of(found_.begin(), found_.end(), [&](const ScannedMultiplex& f) {
            return f.transportStreamId == m.transportStreamId && f.originalNetworkId == m.originalNetworkId &&
                   SameMultiplex(f.delivery, m.delivery);
        });
        if (again) return false;
        found_.push_back(std::move(m));
        attempt.multiplex = &found_.back();
        return true;
    }

    void Print(const ScanAttempt& attempt) {
        if (arguments_.json) {
            WriteOut(ScanProgressJson(attempt));
        } else {
            WriteOutUtf8(ScanProgressText(attempt));
        }
    }

    unsigned long handle_;
    const ScanArguments& arguments_;
    Reception family_;
    ScanPlan plan_;
    InterruptWatch interrupts_;
    StreamTables tables_;
    std::vector<ScannedMultiplex> found_;
    std::vector<std::uint8_t> inputs_;
};

int ExitCodeOf(ScanEnd end, bool foundAny) {
    switch (end) {
    case ScanEnd::Interrupted: return kExitScanInterrupted;
    case ScanEnd::TunerGone: return kExitScanTunerGone;
    case ScanEnd::Complete: break;
    }
    return foundAny ? kExitOk : kExitScanNothing;
}

}  // namespace

int RunScan(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseScanArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    const unsigned long handle = tuner.handle.get();
    const std::string name = TunerName(tuner);

    PlanRefusal refusal;
    const auto family = ScanFamily(arguments, tuner.line.reception, name, refusal);
    if (!family) {
        if (refusal.exitCode == kExitUsage) {
            ReportUsageError(invocation.verb->name, refusal.message);
        } else {
            ReportError(refusal.message);
        }
        return refusal.exitCode;
    }

    std::optional<ScanPlan> plan;
    if (arguments.from) {
        const auto text = ReadWholeFile(*arguments.from);
        if (!text) return ReportFailure(kExitScanStartFile, "cannot read the start file " + *arguments.from);
        auto read = ReadStartFile(*text, *arguments.from);
        if (const auto* error = std::get_if<FileError>(&read)) return ReportFailure(kExitScanStartFile, error->Text());
        std::vector<Delivery> start;
        for (const Delivery& d : std::get<std::vector<Delivery>>(read)) {
            if (Belongs(d.system, *family)) start.push_back(d);
        }
        if (start.empty()) {
            return ReportFailure(kExitScanStartFile, *arguments.from + " holds no " + std::string(ReceptionText(*family)) +
                                                         " multiplex for " + name);
        }
        plan = ScanPlan::FromStartFile(start, arguments.inputs);
    } else if (*family == Reception::Satellite) {
        plan = ScanPlan::SatelliteSweep(arguments.lnb.value_or(LnbSetting{}), arguments.inputs);
    } else {
        plan = ScanPlan::Raster(*family);
    }
    if (arguments.out) {
        if (const auto error = CheckWritable(*arguments.out)) return ReportFailure(kExitScanOutput, *error);
    }

    const Clock::time_point start = Clock::now();
    Scan scan(handle, arguments, *family, std::move(*plan));
    if (FAILED(scan.StreamResult())) {
        if (!IsAttached(handle)) return ReportFailure(kExitScanTunerGone, name + " went away");
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(scan.StreamResult()));
        return ReportFailure(kExitFailed, "the stream of " + name + " did not start (" + code + ")");
    }
    if (!arguments.json) {
        WriteErr("Scanning " + name + " (" + std::string(ReceptionText(*family)) + "); Ctrl+C stops and keeps what was found.\n");
    }
    const ScanEnd end = scan.Run();

    ScanSummary summary;
    summary.multiplexes = scan.Found();
    summary.tried = scan.Tried();
    summary.elapsed = Since(start);
    summary.inputsAnswering = scan.InputsAnswering();
    std::sort(summary.inputsAnswering.begin(), summary.inputsAnswering.end());
    summary.satellite = *family == Reception::Satellite;
    summary.end = end;
    bool writeFailed = false;
    if (arguments.out && !scan.Found().empty()) {
        writeFailed = !WriteChannels(*arguments.out, scan.Found());
        if (!writeFailed) summary.written = *arguments.out;
    }
    if (arguments.json) {
        WriteOut(ScanSummaryJson(summary));
    } else {
        WriteOutUtf8(ScanSummaryText(summary));
    }
    if (writeFailed) return ReportFailure(kExitScanOutput, "could not write the channel file " + *arguments.out);
    const int code = ExitCodeOf(end, !scan.Found().empty());
    switch (code) {
    case kExitScanTunerGone: ReportError(name + " went away during the scan"); break;
    case kExitScanNothing:
        ReportError("no multiplex found: check the antenna" +
                    std::string(*family == Reception::Satellite ? ", the DiSEqC inputs (--input) and the LNB (--lnb)" : ""));
        break;
    default: break;
    }
    return code;
}

}  // namespace ombrel_cli
