// What 'ombrel tune' and 'ombrel status' print: the front end's reading, the tune that
// was sent and how it ended, as text and as JSON.
#pragma once

#include "JsonOutput.h"
#include "TuneArguments.h"
#include "TunerRecord.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace ombrel_cli {

namespace tuning {
// The tuning flag (OMBREL_TUNING_*).
inline constexpr int kFlagBusy = 0;
inline constexpr int kFlagLocked = 1;
inline constexpr int kFlagNoSignal = -1;
}  // namespace tuning

// The tuning flag and the front-end status, read one after the other.
struct FrontEndReading {
    int flag = tuning::kFlagBusy;
    std::uint64_t frequencyHz = 0;  // of the carrier locked on; 0 without lock
    bool locked = false;
    bool carrier = false;
    std::uint32_t strength = 0;        // percent
    std::uint32_t quality = 0;         // percent
    std::uint32_t bitErrorRate = 0;    // bit errors per 10^8 bits
    std::uint32_t uncorrectedBlocks = 0;
    std::uint32_t snrTenthsDb = 0;
};

// "11623 MHz", "177.5 MHz", "1873.25 MHz".
std::string HzText(std::uint64_t hz);
std::string KHzText(std::uint64_t kHz);
// "9750/10600/11700 MHz", or "10750 MHz (single band)".
std::string LnbText(const LnbSetting& lnb);
// "0.3 s", "10.0 s".
std::string SecondsText(std::chrono::milliseconds time);
// "busy", "locked", "no signal"; "flag 7" for a value the header does not name.
std::string TuningFlagText(int flag);
// "9.0e-07" of errors per 10^8 bits; "0".
std::string BitErrorRateText(std::uint32_t perHundredMillion);

// 'ombrel status': one labelled line per figure.
std::string StatusText(const FrontEndReading& reading);
// 'ombrel status --follow': one line per reading after the clock time ("14:02:03").
std::string StatusLine(const FrontEndReading& reading, std::string_view clock);
// The reading as one JSON object, without a line end.
std::string StatusJson(const FrontEndReading& reading);

// The labelled lines that say what a tune sends ("Tune:", "LNB:", "PIDs:").
std::string TunePlanText(const TunePlan& plan);

enum class TuneOutcome { Locked, NoSignal, TimedOut, Interrupted };
std::string_view TuneOutcomeText(TuneOutcome outcome);  // "locked", "no signal", "timeout", "interrupted"
// "locked on 11623 MHz after 0.3 s", "no signal after 0.3 s", ...
std::string TuneResultText(TuneOutcome outcome, const FrontEndReading& reading, std::chrono::milliseconds elapsed);
// Why a tune that did not lock failed, for stderr; empty for a lock. A satellite tune that
// found no multiplex names the DiSEqC input it was made on: the one it chose, or else
// `switchInput`, where ombrel last set the tuner's switch (none when not known).
std::string TuneFailureText(TuneOutcome outcome, const TunePlan& plan, std::chrono::milliseconds timeout,
                            std::optional<std::uint8_t> switchInput = std::nullopt);
// 'ombrel tune --json': one object and a line end.
std::string TuneJson(const TunerLine& tuner, const TunePlan& plan, TuneOutcome outcome,
                     std::chrono::milliseconds elapsed, const FrontEndReading& reading, const TextDecoder& decode);

}  // namespace ombrel_cli
