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

namespace ombrel_cli {
namespace {

int Follow(unsigned long handle, const std::string& name, const StatusArguments& arguments) {
    InterruptWatch interrupts;
    WriteErr("Following " + name + "; Ctrl+C ends.\n");
    for (;;) {
        const auto reading = IsAttached(handle) ? ReadFrontEnd(handle) : std::nullopt;
        if (!reading) return ReportFailedRequest(handle, name, "the front end's status");
        const std::string text = arguments.json ? StatusJson(*reading) + "\n" : StatusLine(*reading, LocalClockText(false));
        if (!WriteOut(text)) return kExitOk;  // nobody reads the lines any more
        const auto wait = static_cast<DWORD>(arguments.interval.count());
        if (WaitForSingleObject(interrupts.Event(), wait) == WAIT_OBJECT_0) return kExitOk;
    }
}

}  // namespace

int RunStatus(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseStatusArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    const unsigned long handle = tuner.handle.get();
    const std::string name = TunerName(tuner);
    if (arguments.follow) return Follow(handle, name, arguments);

    const auto reading = ReadFrontEnd(handle);
    if (!reading) return ReportFailedRequest(handle, name, "the front end's status");
    return WriteResult(arguments.json ? StatusJson(*reading) + "\n"
                                      : LabelledLine("Tuner", TunerSummary(tuner.index, tuner.line)) + StatusText(*reading));
}

}  // namespace ombrel_cli
