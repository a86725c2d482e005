// 'record --channel NAME --channels FILE': the channel read from the file, the tuner
// tuned to it as 'tune' tunes, and its lock awaited.
#pragma once

#include "RecordArguments.h"
#include "Tuners.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

namespace ombrel_cli {

// Tunes `tuner` to the channel and waits for lock; kExitOk then, with `service` set to
// the channel's service unless one was chosen already. Otherwise reports why (the file,
// the channel, the tune, no lock) and gives the exit code.
int TuneChannel(const OpenTuner& tuner, const std::string& channel, const std::string& file,
                std::chrono::milliseconds timeout, HANDLE interrupt, std::optional<ServiceChoice>& service);

}  // namespace ombrel_cli
