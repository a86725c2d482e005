// The verbs' handlers. Each returns the program's exit code.
#pragma once

#include "CommandLine.h"
#include "Tuners.h"

#include <optional>

namespace ombrel_cli {

int RunList(const Invocation& invocation);
int RunInfo(const Invocation& invocation);
int RunUpdate(const Invocation& invocation);
int RunWatch(const Invocation& invocation);
int RunTune(const Invocation& invocation);
int RunStatus(const Invocation& invocation);

// Starts the library; on failure reports it. False then.
bool StartLibraryOrReport();
// Starts the library and opens the verb's <tuner>; on failure reports it and sets
// `exitCode`.
std::optional<OpenTuner> StartAndOpenSelectedTuner(const Invocation& invocation, int& exitCode);

}  // namespace ombrel_cli
