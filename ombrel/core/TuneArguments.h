// What 'ombrel tune' and 'ombrel status' are asked to do, read from the command line, and
// the tune worked out for one tuner: which family of requests, their values, and the
// reasons to refuse before anything is sent. Values use the numbering of OmbrelApi.h.
#pragma once

#include "CommandLine.h"
#include "TunerRecord.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ombrel_cli {

// The header's numbering of the record fields (the program checks that they agree).
namespace tuning {
enum : std::uint8_t { kHorizontal = 0, kVertical = 1, kCircularLeft = 2, kCircularRight = 3 };
enum : std::uint8_t { kModulationAuto = 0, kQpsk = 1, k8psk = 2, kQam16 = 3, kQam64 = 4, k8vsb = 5 };
enum : std::uint8_t { kFecAuto = 0, kFec7_8 = 5, kFec9_10 = 9 };
enum : std::uint8_t { kGuardAuto = 0, kModeAuto = 0 };
inline constexpr std::uint16_t kPidAll = 0x2000;
inline constexpr std::size_t kMaxPidsSatellite = 29;
inline constexpr std::size_t kMaxPidsTerrestrial = 27;
inline constexpr std::uint32_t kIfMinKHz = 950000;
inline constexpr std::uint32_t kIfMaxKHz = 2150000;
inline constexpr std::uint32_t kTerrestrialMinKHz = 47000;
inline constexpr std::uint32_t kTerrestrialMaxKHz = 862000;
inline constexpr std::uint32_t kMinSymbolRate = 1000;
inline constexpr std::uint32_t kMaxSymbolRate = 45000;
}  // namespace tuning

// Local oscillators and band switch of the LNB, kHz; lofHighKHz 0 for a single band.
struct LnbSetting {
    std::uint32_t lofLowKHz = 9750000;
    std::uint32_t lofHighKHz = 10600000;
    std::uint32_t switchKHz = 11700000;
};

// The tune command line, read but not yet held against a tuner.
struct TuneArguments {
    std::uint32_t frequencyKHz = 0;
    std::optional<std::uint8_t> polarisation;
    std::optional<std::uint32_t> symbolRate;  // kS/s
    std::optional<std::uint8_t> modulation;
    std::optional<std::uint8_t> fec;
    std::optional<LnbSetting> lnb;
    std::optional<std::uint8_t> diseqcPort;  // 0..3 for A..D
    std::optional<std::uint8_t> bandwidthMHz;
    std::optional<std::uint8_t> guard;
    std::optional<std::uint8_t> mode;
    std::optional<std::vector<std::uint16_t>> pids;
    std::optional<Reception> family;
    std::chrono::milliseconds timeout{10000};
    bool json = false;
};

// No value and `error` says why when a value cannot be read.
std::optional<TuneArguments> ParseTuneArguments(const Invocation& invocation, std::string& error);

struct SatelliteTune {
    std::uint32_t frequencyKHz = 0;  // downlink
    std::uint32_t symbolRate = 0;
    std::uint8_t polarisation = tuning::kHorizontal;
    std::uint8_t modulation = tuning::kModulationAuto;
    std::uint8_t fec = tuning::kFecAuto;
    LnbSetting lnb;
    bool highBand = false;             // what the LNB parameters make the driver choose
    std::uint32_t intermediateKHz = 0;
    std::optional<std::uint8_t> diseqcPort;
};

struct TerrestrialTune {
    std::uint32_t frequencyKHz = 0;  // centre
    std::uint8_t bandwidthMHz = 8;
    std::uint8_t modulation = tuning::kModulationAuto;
    std::uint8_t fec = tuning::kFecAuto;
    std::uint8_t guard = tuning::kGuardAuto;
    std::uint8_t mode = tuning::kModeAuto;
};

struct TunePlan {
    Reception family = Reception::Unknown;  // Satellite, Terrestrial or Atsc
    std::variant<SatelliteTune, TerrestrialTune> tune;
    std::optional<std::vector<std::uint16_t>> pids;
};

struct PlanRefusal {
    int exitCode = 0;  // kExitUsage or kExitWrongFamily
    std::string message;
};

// The tune for a tuner whose model receives `model` (Unknown when the model is not
// known); `tunerName` names the tuner in the reasons ("tuner 2 (Talvex S2)").
std::optional<TunePlan> PlanTune(const TuneArguments& arguments, Reception model, std::string_view tunerName,
                                 PlanRefusal& refusal);

// The DiSEqC 1.0 committed-switch message for the tune's port, with the polarisation and
// band bits that switches with several LNBs need.
std::vector<std::uint8_t> DiseqcSwitchMessage(const SatelliteTune& tune);

// "satellite", "terrestrial", "ATSC", "cable", "unknown".
std::string_view ReceptionText(Reception reception);
// The command line's names of record values: "V", "B", "8psk", "3/4", "1/8", "8k".
std::string_view PolarisationText(std::uint8_t polarisation);
std::string_view PortText(std::uint8_t port);
std::string_view ModulationText(std::uint8_t modulation);
std::string_view FecText(std::uint8_t fec);
std::string_view GuardText(std::uint8_t guard);
std::string_view ModeText(std::uint8_t mode);

// An option's seconds, with up to three decimals, above 0 and at most an hour; no value
// and `error` names the option otherwise.
std::optional<std::chrono::milliseconds> ParseSeconds(std::string_view option, std::string_view text,
                                                      std::string& error);

// --lnb's value ("9750,10600,11700" or "10750") and --family's, for the verbs that take them.
std::optional<LnbSetting> ParseLnbOption(std::string_view text, std::string& error);
std::optional<Reception> ParseFamilyOption(std::string_view text, std::string& error);

struct StatusArguments {
    bool follow = false;
    std::chrono::milliseconds interval{1000};
    bool json = false;
};
std::optional<StatusArguments> ParseStatusArguments(const Invocation& invocation, std::string& error);

}  // namespace ombrel_cli
