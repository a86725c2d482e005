// 'status': the tuning flag and the front-end status once, or a line per reading until
// Ctrl+C, the tuner's going, or the reader's.
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "FrontEnd.h"
#include "Interrupts.h"
#include "TextOutput.h"
#include "Tuners.h"

#include <windows.h>

#include <cstdio>

namespace ombrel_cli {
namespace {

std::string ClockText() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

int Follow(unsigned long handle, const std::string& name, const StatusArguments& arguments) {
    InterruptWatch interrupts;
    WriteErr("Following " + name + "; Ctrl+C ends.\n");
    for (;;) {
        const auto reading = IsAttached(handle) ? ReadFrontEnd(handle) : std::nullopt;
        if (!reading) return ReportFailedRequest(handle, name, "the front end's status");
        const std::string text = arguments.json ? StatusJson(*reading) + "\n" : StatusLine(*reading, ClockText());
        if (!WriteOut(text)) return kExitOk;  // nobody reads the lines any more
        const auto wait = static_cast<DWORD>(arguments.interval.count());
        if (WaitForSingleObject(interrupts.Event(), wait) == WAIT_OBJECT_0) return kExitOk;
    }
}

}  // namespace

int RunStatus(const Invocation& invocation) {
    std::string error;
    const auto arguments = ParseStatusArguments(invocation, error);
    if (!arguments) {
        ReportUsageError(invocation.verb->name, error);
        return kExitUsage;
    }
    int exitCode = kExitOk;
    const auto tuner = StartAndOpenSelectedTuner(invocation, exitCode);
    if (!tuner) return exitCode;
    const unsigned long handle = tuner->handle.get();
    const std::string name = TunerName(*tuner);
    if (arguments->follow) return Follow(handle, name, *arguments);

    const auto reading = ReadFrontEnd(handle);
    if (!reading) return ReportFailedRequest(handle, name, "the front end's status");
    WriteOut(arguments->json ? StatusJson(*reading) + "\n"
                             : LabelledLine("Tuner", TunerSummary(tuner->index, tuner->line)) + StatusText(*reading));
    return kExitOk;
}

}  // namespace ombrel_cli
