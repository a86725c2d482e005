// ombrel.exe: the verbs' table and the way from the command line to a handler.
#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Verbs.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <exception>
#include <string>
#include <vector>

namespace ombrel_cli {
namespace {

struct VerbHandler {
    std::string_view name;
    int (*run)(const Invocation&);
};

// One row per verb of Verbs(); a verb is added there and here.
constexpr VerbHandler kHandlers[] = {
    {"list", &RunList},
    {"info", &RunInfo},
    {"update", &RunUpdate},
    {"watch", &RunWatch},
    {"tune", &RunTune},
    {"status", &RunStatus},
    {"keys", &RunKeys},
    {"ci", &RunCi},
    // Channel scan.
    {"scan", &RunScan},
    // Reading a multiplex's services, and recording it.
    {"services", &RunServices},
    {"record", &RunRecord},
};

int Dispatch(const std::vector<std::string>& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.invocation) {
        ReportUsageError(parsed.verb ? parsed.verb->name : std::string_view(), parsed.error);
        return kExitUsage;
    }
    const Invocation& invocation = *parsed.invocation;
    switch (invocation.action) {
    case Invocation::Action::Help:
        WriteOut(invocation.verb ? VerbHelp(*invocation.verb) : GeneralHelp());
        return kExitOk;
    case Invocation::Action::Version:
        WriteOut(VersionText(OB_GetApiVersion()));
        return kExitOk;
    case Invocation::Action::Run:
        break;
    }
    for (const VerbHandler& handler : kHandlers) {
        if (handler.name == invocation.verb->name) return handler.run(invocation);
    }
    ReportError("the verb '" + std::string(invocation.verb->name) + "' is not available in this build");
    return kExitFailed;
}

}  // namespace
}  // namespace ombrel_cli

int main(int argc, char** argv) {
    try {
        return ombrel_cli::Dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        ombrel_cli::ReportError(std::string("unexpected failure: ") + e.what());
    } catch (...) {
        ombrel_cli::ReportError("unexpected failure");
    }
    return ombrel_cli::kExitFailed;
}
