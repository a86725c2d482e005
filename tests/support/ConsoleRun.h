// Runs a console program as its own process, its output (stdout and stderr together)
// collected through a pipe and its input empty, with a bounded wait: a program that
// hangs is ended and the run says so.
#pragma once

#include <windows.h>

#include <string>

namespace consolerun {

struct Run {
    DWORD exitCode = 0xFFFFFFFF;  // the exit code, or this when the program could not start
    std::string output;
    bool timedOut = false;  // ended by the wait's bound
};

// `commandLine` is the whole command line, program first (quoted when needed).
Run RunProgram(const std::string& commandLine, DWORD timeoutMs);

}  // namespace consolerun
