// 'record': the multiplex's tables read first (with the PID filter open), then the whole
// multiplex or one service written to a file while a live line shows the figures. A
// scrambled service is handed to the module in the Common Interface slot first. The
// packets go from the streaming thread through the service's filter and the census to
// the file's writer thread; the streaming thread never waits for the disk.
#include "ChannelTune.h"
#include "Commands.h"
#include "Console.h"
#include "Descrambling.h"
#include "ExitCodes.h"
#include "FrontEnd.h"
#include "FrontEndOutput.h"
#include "Interrupts.h"
#include "PacketFileWriter.h"
#include "PidFilter.h"
#include "ReceivedTables.h"
#include "RecordArguments.h"
#include "RecordLine.h"
#include "RecordPlan.h"
#include "ServicesOutput.h"
#include "TextOutput.h"
#include "Tuners.h"
#include "TunerStream.h"

#include <ServiceFilter.h>
#include <StreamCensus.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ombrel_cli {
namespace {

namespace tables = talvex::tables;
using Clock = std::chrono::steady_clock;

constexpr DWORD kTickMs = 250;
constexpr std::chrono::milliseconds kFileLineEvery{5000};

// Receives the stream's packets on the streaming thread: the service's filter (when one
// service is recorded), the census of what is written, and the writer.
class RecordSink {
public:
    RecordSink(PacketFileWriter& writer, std::optional<tables::ServiceFilter> filter)
        : writer_(writer), filter_(std::move(filter)) {
        if (filter_) {
            // The file starts with the program's own PAT, before the source's first.
            std::uint8_t pat[kPacketBytes];
            filter_->WritePat(pat);
            Write(pat, 1, false);
        }
    }

    static HRESULT OMBREL_CALL Receive(void* context, const unsigned char* packets, unsigned long count,
                                       BOOL discontinuity) {
        static_cast<RecordSink*>(context)->Take(packets, count, discontinuity != FALSE);
        return S_OK;
    }

    ombrel::stream::CensusCounts Counts() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return census_.Counts();
    }

private:
    void Take(const std::uint8_t* packets, std::size_t count, bool discontinuity) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!filter_) {
            Write(packets, count, discontinuity);
            return;
        }
        filtered_.resize(count * kPacketBytes);
        const std::size_t kept = filter_->Filter(packets, count, filtered_.data());
        // Packets of other PIDs dropped in between still break no PID's counter.
        if (kept > 0) Write(filtered_.data(), kept, discontinuity);
        else pendingDiscontinuity_ = pendingDiscontinuity_ || discontinuity;
    }

    void Write(const std::uint8_t* packets, std::size_t count, bool discontinuity) {
        census_.Count(packets, count, discontinuity || pendingDiscontinuity_);
        pendingDiscontinuity_ = false;
        writer_.Append(packets, count);
    }

    mutable std::mutex mutex_;
    PacketFileWriter& writer_;
    std::optional<tables::ServiceFilter> filter_;
    std::vector<std::uint8_t> filtered_;
    ombrel::stream::StreamCensus census_;
    bool pendingDiscontinuity_ = false;
};

enum class RecordEnd { Duration, Interrupted, TunerLost, OutputFailed, StreamFailed };

struct RecordOutcome {
    RecordEnd end = RecordEnd::Duration;
    HRESULT error = S_OK;
    RecordFigures figures;
};

RecordFigures FiguresOf(const RecordSink& sink, const PacketFileWriter& writer, std::chrono::milliseconds elapsed) {
    const ombrel::stream::CensusCounts counts = sink.Counts();
    RecordFigures figures;
    figures.elapsed = elapsed;
    figures.bytes = writer.BytesWritten();
    figures.transportErrors = counts.transportErrors;
    figures.continuityGaps = counts.continuityErrors;
    figures.scrambled = counts.scrambledPackets;
    figures.dropped = writer.DroppedPackets();
    return figures;
}

// Runs the stream into the sink until the duration is up, Ctrl+C, the tuner goes, the
// file cannot be written or the stream fails; then stops it and closes the file.
RecordOutcome Record(unsigned long handle, RecordSink& sink, PacketFileWriter& writer,
                     const std::optional<std::chrono::milliseconds>& duration, HANDLE interrupt, CiSession* session,
                     const std::string& tunerName) {
    RecordOutcome outcome;
    LiveLine live(OutIsConsole(), kFileLineEvery);
    TunerStream stream(handle, &RecordSink::Receive, &sink);
    if (!stream.Running()) {
        outcome.end = RecordEnd::StreamFailed;
        outcome.error = stream.StartResult();
        return outcome;
    }
    const Clock::time_point start = Clock::now();
    const auto elapsed = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start); };
    bool moduleLeftTold = false;
    for (;;) {
        HRESULT reason = S_OK;
        const OBS_STREAM_EVENT event = stream.Ended(reason);
        if (event != OBS_EVENT_NONE) {
            outcome.end = event == OBS_EVENT_DEVICE_LOST ? RecordEnd::TunerLost : RecordEnd::StreamFailed;
            outcome.error = reason;
            break;
        }
        if (writer.Failed()) {
            outcome.end = RecordEnd::OutputFailed;
            break;
        }
        const std::chrono::milliseconds now = elapsed();
        if (duration && now >= *duration) break;
        WriteOut(live.Update(FiguresOf(sink, writer, now)));
        if (session && session->ModuleLeft() && !moduleLeftTold) {
            moduleLeftTold = true;
            WriteOut(live.Finish(FiguresOf(sink, writer, now)));
            WriteErr("ombrel: the module left the Common Interface slot of " + tunerName +
                     ": the rest is recorded scrambled\n");
        }
        DWORD wait = kTickMs;
        if (duration) wait = static_cast<DWORD>(std::min<long long>(wait, (*duration - now).count()));
        const bool interrupted =
            session ? session->Wait(interrupt, nullptr, wait, [] { return false; }) == CiSession::WaitEnd::Interrupted
                    : WaitForPacketsOrInterrupt(nullptr, interrupt, wait);
        if (interrupted) {
            outcome.end = RecordEnd::Interrupted;
            break;
        }
    }
    const std::chrono::milliseconds recorded = elapsed();
    // The packets still in the sink reach the writer during the stop; then the file closes.
    stream.Stop();
    if (writer.Close() && outcome.end != RecordEnd::TunerLost) outcome.end = RecordEnd::OutputFailed;
    outcome.figures = FiguresOf(sink, writer, recorded);
    WriteOut(live.Finish(outcome.figures));
    return outcome;
}

std::string ListWithoutLastLineEnd(const tables::Multiplex& multiplex) {
    std::string list = Utf8ToAnsi(ServiceListText(multiplex));
    if (!list.empty() && list.back() == '\n') list.pop_back();
    return list;
}

std::string CaText(const tables::Service& service) {
    const std::string access = AccessText(service);
    return access.substr(access.find('(') == std::string::npos ? access.size() : access.find('('));
}

}  // namespace

int RunRecord(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseRecordArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    const unsigned long handle = tuner.handle.get();
    const std::string name = TunerName(tuner);
    const Reception family = tuner.line.reception;
    InterruptWatch interrupts;

    std::optional<ServiceChoice> choice = arguments.service;
    if (arguments.channel) {
        const int tuned =
            TuneChannel(tuner, *arguments.channel, *arguments.channelsFile, arguments.timeout, interrupts.Event(), choice);
        if (tuned != kExitOk) return tuned;
    }
    if (const int locked = RequireLock(tuner); locked != kExitOk) return locked;
    // The tables, and a whole-multiplex recording, need every PID.
    if (!SetPidFilter(handle, family, std::nullopt)) return ReportFailedRequest(handle, name, "the PID filter");
    const auto multiplex = ReadTablesOrReport(tuner, tables::Needs{}, arguments.timeout, interrupts.Event(), exitCode);
    if (!multiplex) return exitCode;

    const tables::Service* service = nullptr;
    if (choice) {
        service = FindService(*multiplex, *choice);
        if (!service) {
            return ReportFailure(kExitNoService, "'" + choice->text + "' names no service of the multiplex on " +
                                                     name + "; it carries:\n" +
                                                     ListWithoutLastLineEnd(*multiplex));
        }
    }
    const std::string what =
        service ? Utf8ToAnsi(ServiceLabel(*service)) : "the whole multiplex (" +
                                                           std::to_string(multiplex->services.size()) + " services)";

    // Whether the recording comes clear, and the module's part in it.
    std::unique_ptr<Descrambling> descrambling;
    std::string access = "clear";
    if (service && service->scrambled) {
        descrambling = std::make_unique<Descrambling>(handle, *service, name, arguments.timeout, interrupts.Event());
        if (descrambling->Interrupted()) {
            ReportError("stopped before recording (Ctrl+C)");
            return kExitCiInterrupted;
        }
        if (descrambling->Active()) {
            access = "scrambled " + CaText(*service) + ", descrambled by " + descrambling->ModuleName();
        } else {
            const std::string why = what + " is scrambled " + CaText(*service) + " and cannot be descrambled: " +
                                    descrambling->Reason();
            if (arguments.requireClear) return ReportFailure(kExitNotClear, why + "; --require-clear: nothing recorded");
            WriteErr("ombrel: " + why + "; it is recorded scrambled\n");
            access = "scrambled " + CaText(*service) + ", not descrambled: " + descrambling->Reason();
        }
    } else if (!service) {
        std::string names;
        for (const tables::Service* s : ScrambledServices(*multiplex)) names += (names.empty() ? "" : ", ") + Utf8ToAnsi(ServiceLabel(*s));
        if (!names.empty()) {
            if (arguments.requireClear) {
                return ReportFailure(kExitNotClear, "the multiplex on " + name + " carries scrambled services (" + names +
                                                        "); --require-clear: nothing recorded. Record one with --service "
                                                        "to have the module descramble it.");
            }
            access = "scrambled services recorded as they come: " + names;
        }
    }

    // The tuner's filter: the service's PIDs when it holds them, else left open and the
    // packets filtered here.
    std::optional<tables::ServiceFilter> filter;
    PidFilterNarrowing narrowing(handle, family);
    std::string pidText = "open (the whole multiplex)";
    if (service) {
        filter.emplace(*multiplex, service->id);
        const auto pidList = PidFilterFor(filter->Pids(), PidFilterRoom(family));
        if (pidList) {
            if (!narrowing.Narrow(*pidList)) return ReportFailedRequest(handle, name, "the PID filter");
            pidText = PidListText(*pidList);
        } else {
            pidText = "open: the service's " + std::to_string(filter->Pids().size()) +
                      " PIDs are more than the filter holds; filtered here";
        }
    }

    std::string error;
    const auto writer = PacketFileWriter::Create(arguments.out, error);
    if (!writer) return ReportFailure(kExitOutputFailed, error);

    // A channel's tune has named the tuner already.
    WriteOut((arguments.channel ? std::string() : LabelledLine("Tuner", TunerSummary(tuner.index, tuner.line))) +
             LabelledLine("Recording", what + " of transport stream " + Hex16Text(multiplex->transportStreamId) +
                                           " to " + arguments.out) +
             LabelledLine("PID filter", pidText) + LabelledLine("Access", access) +
             LabelledLine("Ends", (arguments.duration ? "after " + SecondsText(*arguments.duration) + ", or " : "") +
                                      std::string("at Ctrl+C")));
    RecordSink sink(*writer, std::move(filter));
    const RecordOutcome outcome =
        Record(handle, sink, *writer, arguments.duration, interrupts.Event(),
               descrambling ? descrambling->Session() : nullptr, name);
    const RecordFigures& f = outcome.figures;
    const std::string kept = ByteCountText(f.bytes) + " (" + std::to_string(f.bytes / kPacketBytes) + " packets)";

    // A service's recording leaves the filter open again, as the tables and other
    // programs expect it.
    if (outcome.end != RecordEnd::TunerLost && !narrowing.Open() && IsAttached(handle)) {
        WriteErr("ombrel: " + name + " refused to open its PID filter again: it still passes the recorded "
                 "service's PIDs only\n");
    }

    switch (outcome.end) {
    case RecordEnd::Duration:
    case RecordEnd::Interrupted:
        WriteOut(LabelledLine("Recorded", SecondsText(f.elapsed) + ", " + kept + " to " + arguments.out +
                                              (outcome.end == RecordEnd::Interrupted ? " (ended by Ctrl+C)" : "")));
        return kExitOk;
    case RecordEnd::TunerLost:
        ReportError(name + " went away during the recording; the " + kept + " written are kept in " + arguments.out);
        return kExitNoTuner;
    case RecordEnd::OutputFailed: {
        const auto failure = writer->Close();
        return ReportFailure(kExitOutputFailed, failure.value_or("cannot write '" + arguments.out + "'") +
                                                    "; the recording stopped, the " + kept + " written are kept");
    }
    case RecordEnd::StreamFailed: break;
    }
    if (!IsAttached(handle)) {
        ReportError(name + " went away during the recording; the " + kept + " written are kept in " + arguments.out);
        return kExitNoTuner;
    }
    ReportError(StreamStartFailureText(outcome.error, name) + "; the " + kept + " written are kept in " + arguments.out);
    return kExitFailed;
}

}  // namespace ombrel_cli
