#include "ReceivedTables.h"

#include "Console.h"
#include "ExitCodes.h"
#include "FrontEnd.h"
#include "FrontEndOutput.h"

#include <OmbrelApi.h>

namespace ombrel_cli {

int RequireLock(const OpenTuner& tuner) {
    const std::string name = TunerName(tuner);
    int flag = tuning::kFlagBusy;
    std::uint64_t hz = 0;
    if (!ReadTuningFlag(tuner.handle.get(), flag, hz)) return ReportFailedRequest(tuner.handle.get(), name, "the tuning flag");
    if (flag == tuning::kFlagLocked) return kExitOk;
    return ReportFailure(kExitNotReceiving, name + " is not locked on a multiplex (tuning flag: " +
                                                TuningFlagText(flag) + "): it receives nothing to read");
}

std::string StreamStartFailureText(HRESULT code, const std::string& tunerName) {
    if (code == HRESULT_FROM_WIN32(ERROR_BUSY))
        return "the stream of " + tunerName + " is taken: another program receives it";
    return "the stream of " + tunerName + " did not start (" + HresultText(code) + ")";
}

std::optional<talvex::tables::Multiplex> ReadTablesOrReport(const OpenTuner& tuner, const talvex::tables::Needs& needs,
                                                            std::chrono::milliseconds timeout, HANDLE interrupt,
                                                            int& exitCode) {
    const std::string name = TunerName(tuner);
    StreamTablesResult result = ReadStreamTables(tuner.handle.get(), needs, timeout, interrupt);
    switch (result.end) {
    case TablesEnd::Complete: return std::move(result.multiplex);
    case TablesEnd::TimedOut:
        exitCode = ReportFailure(
            kExitTablesIncomplete,
            "the tables of the multiplex on " + name + " were not whole within " + SecondsText(timeout) +
                ": still missing " + result.missing +
                (result.packets == 0 ? " (no packets came: the tuner's PID filter may hold them back; "
                                       "'ombrel tune ... --pids all' opens it)"
                                     : ""));
        break;
    case TablesEnd::Interrupted:
        ReportError("stopped reading the tables of " + name + " (Ctrl+C)");
        exitCode = kExitTablesIncomplete;
        break;
    case TablesEnd::TunerLost:
        ReportError(name + " went away");
        exitCode = kExitNoTuner;
        break;
    case TablesEnd::StreamFailed:
        if (!IsAttached(tuner.handle.get())) {
            ReportError(name + " went away");
            exitCode = kExitNoTuner;
        } else {
            ReportError(StreamStartFailureText(result.error, name));
            exitCode = kExitFailed;
        }
        break;
    }
    return std::nullopt;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wide <= 0) return std::string(utf8);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), wide);
    const int narrow = WideCharToMultiByte(CP_ACP, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) return std::string(utf8);
    std::string ansi(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), wide, ansi.data(), narrow, nullptr, nullptr);
    return ansi;
}

}  // namespace ombrel_cli
