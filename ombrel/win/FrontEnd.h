// A tuner's front end through the library's tuning exports: the requests of a tune, and
// readings of the tuning flag and the front-end status.
#pragma once

#include "FrontEndOutput.h"
#include "TuneArguments.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ombrel_cli {

// Sends a tune's requests in order: power on, then for a satellite tune the LNB
// parameters and the DiSEqC switch, the multiplex, and the PIDs. Stops at the first
// request that the library does not accept and returns what it was
// ("the LNB parameters (OB_SetLNBParameter returned 1)"); nothing when all went.
std::optional<std::string> SendTune(unsigned long handle, const TunePlan& plan);

// The tuning flag and the frequency found; false when the request failed.
bool ReadTuningFlag(unsigned long handle, int& flag, std::uint64_t& frequencyHz);
// The flag and the status; no value when either request failed.
std::optional<FrontEndReading> ReadFrontEnd(unsigned long handle);

// After a failed request: whether the tuner has gone (the library learns of it a moment
// after the driver does, so this waits a little for that) or the driver refused. Reports
// it and returns kExitNoTuner or kExitTuneRefused.
int ReportFailedRequest(unsigned long handle, const std::string& tunerName, const std::string& request);

}  // namespace ombrel_cli
