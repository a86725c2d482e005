// What 'ombrel scan' is asked to do, read from the command line, and the refusals that
// follow from the tuner's family before anything is tuned.
#pragma once

#include "CommandLine.h"
#include "TuneArguments.h"
#include "TunerRecord.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ombrel_cli {

struct ScanArguments {
    std::vector<std::uint8_t> inputs{0, 1, 2, 3};  // DiSEqC inputs A..D
    bool inputsGiven = false;
    std::optional<std::string> from;  // start file
    std::optional<LnbSetting> lnb;
    std::optional<std::string> out;   // channel file
    std::optional<Reception> family;
    // The longest wait for one multiplex: for its lock, and for its tables to complete.
    std::chrono::milliseconds timeout{10000};
    bool json = false;
};

// No value and `error` says why when a value cannot be read.
std::optional<ScanArguments> ParseScanArguments(const Invocation& invocation, std::string& error);

// The family scanned for a tuner whose model receives `model`; no value and `refusal`
// says why (cable, unknown without --family, satellite options for a terrestrial tuner).
std::optional<Reception> ScanFamily(const ScanArguments& arguments, Reception model, std::string_view tunerName,
                                    PlanRefusal& refusal);

}  // namespace ombrel_cli
