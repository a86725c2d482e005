// 'services': the tables of the multiplex the tuner is locked on, read from its stream
// until they are whole, with the present and following events.
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "ReceivedTables.h"
#include "RecordArguments.h"
#include "ServicesOutput.h"
#include "Tuners.h"

namespace ombrel_cli {

int RunServices(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseServicesArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    if (const int locked = RequireLock(tuner); locked != kExitOk) return locked;

    InterruptWatch interrupts;
    talvex::tables::Needs needs;
    needs.eitPresentFollowing = true;
    const auto multiplex = ReadTablesOrReport(tuner, needs, arguments.timeout, interrupts.Event(), exitCode);
    if (!multiplex) return exitCode;
    // Names come in many scripts: a console shows them as they are.
    return arguments.json ? WriteResult(ServicesJson(tuner.line, *multiplex, &AnsiToUtf8))
                          : WriteResultUtf8(ServicesText(tuner.index, tuner.line, *multiplex));
}

}  // namespace ombrel_cli
