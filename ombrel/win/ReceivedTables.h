// What 'services' and 'record' share: the tuner must be locked on a multiplex, and its
// tables are read from its stream, with every way that can end reported.
#pragma once

#include "StreamTables.h"
#include "Tuners.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

// kExitOk when the tuner is locked; otherwise reports why not (not locked, gone, the
// driver refused the reading) and gives the exit code.
int RequireLock(const OpenTuner& tuner);

// Reads the tables the tuner's stream carries; the multiplex when they came whole,
// otherwise reports why not and sets `exitCode`.
std::optional<talvex::tables::Multiplex> ReadTablesOrReport(const OpenTuner& tuner, const talvex::tables::Needs& needs,
                                                            std::chrono::milliseconds timeout, HANDLE interrupt,
                                                            int& exitCode);

// Why a stream did not start, for messages.
std::string StreamStartFailureText(HRESULT code, const std::string& tunerName);

// UTF-8 text (the tables' names) in the system code page, as the console output wants it.
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace ombrel_cli
