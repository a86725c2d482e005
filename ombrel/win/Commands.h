// The verbs' handlers. Each returns the program's exit code.
#pragma once

#include "CommandLine.h"

namespace ombrel_cli {

int RunList(const Invocation& invocation);
int RunInfo(const Invocation& invocation);
int RunUpdate(const Invocation& invocation);
int RunWatch(const Invocation& invocation);

// Starts the library; on failure reports it. False then.
bool StartLibraryOrReport();

}  // namespace ombrel_cli
