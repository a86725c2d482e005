// The verbs' handlers. Each returns the program's exit code.
#pragma once

#include "CommandLine.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Tuners.h"

#include <optional>
#include <string>
#include <utility>

namespace ombrel_cli {

int RunList(const Invocation& invocation);
int RunInfo(const Invocation& invocation);
int RunUpdate(const Invocation& invocation);
int RunWatch(const Invocation& invocation);
int RunTune(const Invocation& invocation);
int RunStatus(const Invocation& invocation);
int RunKeys(const Invocation& invocation);
int RunCi(const Invocation& invocation);
// Channel scan.
int RunScan(const Invocation& invocation);
// Reading a multiplex's services, and recording it.
int RunServices(const Invocation& invocation);
int RunRecord(const Invocation& invocation);

// Starts the library; on failure reports it. False then.
bool StartLibraryOrReport();
// Starts the library and opens the verb's <tuner>; on failure reports it and sets
// `exitCode`.
std::optional<OpenTuner> StartAndOpenSelectedTuner(const Invocation& invocation, int& exitCode);

// Reads the verb's own arguments with `parse`, then starts the library and opens the
// verb's <tuner>: bad arguments are refused before any tuner is touched. On failure
// reports it and sets `exitCode`.
template <class Arguments>
std::optional<std::pair<Arguments, OpenTuner>> ReadArgumentsAndOpenTuner(
    const Invocation& invocation, std::optional<Arguments> (*parse)(const Invocation&, std::string&), int& exitCode) {
    std::string error;
    auto arguments = parse(invocation, error);
    if (!arguments) {
        ReportUsageError(invocation.verb->name, error);
        exitCode = kExitUsage;
        return std::nullopt;
    }
    auto tuner = StartAndOpenSelectedTuner(invocation, exitCode);
    if (!tuner) return std::nullopt;
    return std::pair<Arguments, OpenTuner>(std::move(*arguments), std::move(*tuner));
}

}  // namespace ombrel_cli
