#include "TuneArguments.h"

#include "ExitCodes.h"
#include "FrontEndOutput.h"

#include <algorithm>
#include <cctype>
#include <span>

namespace ombrel_cli {
namespace {

struct Named {
    std::string_view name;
    std::uint8_t value;
};

constexpr Named kPolarisations[] = {
    {"H", tuning::kHorizontal}, {"V", tuning::kVertical}, {"L", tuning::kCircularLeft}, {"R", tuning::kCircularRight}};
constexpr Named kModulations[] = {{"auto", tuning::kModulationAuto}, {"qpsk", tuning::kQpsk}, {"8psk", tuning::k8psk},
                                  {"qam16", tuning::kQam16},         {"qam64", tuning::kQam64}, {"8vsb", tuning::k8vsb}};
constexpr Named kFecs[] = {{"auto", 0}, {"1/2", 1}, {"2/3", 2}, {"3/4", 3}, {"5/6", 4},
                           {"7/8", 5},  {"3/5", 6}, {"4/5", 7}, {"8/9", 8}, {"9/10", 9}};
constexpr Named kGuards[] = {{"auto", 0}, {"1/32", 1}, {"1/16", 2}, {"1/8", 3}, {"1/4", 4}};
constexpr Named kModes[] = {{"auto", 0}, {"2k", 1}, {"8k", 2}};
constexpr Named kPorts[] = {{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}};
constexpr Named kBandwidths[] = {{"6", 6}, {"7", 7}, {"8", 8}};
constexpr Named kFamilies[] = {{"satellite", static_cast<std::uint8_t>(Reception::Satellite)},
                               {"terrestrial", static_cast<std::uint8_t>(Reception::Terrestrial)},
                               {"atsc", static_cast<std::uint8_t>(Reception::Atsc)}};

// Modulations each family's front end demodulates.
constexpr std::uint8_t kSatelliteModulations[] = {tuning::kModulationAuto, tuning::kQpsk, tuning::k8psk};
constexpr std::uint8_t kDvbtModulations[] = {tuning::kModulationAuto, tuning::kQpsk, tuning::kQam16, tuning::kQam64};
constexpr std::uint8_t kAtscModulations[] = {tuning::kModulationAuto, tuning::k8vsb};

// Options that belong to one family's tunes, to refuse them for the other.
struct FamilyOption {
    std::string_view name;
    bool (*given)(const TuneArguments&);
};
constexpr FamilyOption kSatelliteOnly[] = {
    {"--pol", [](const TuneArguments& a) { return a.polarisation.has_value(); }},
    {"--symbol-rate", [](const TuneArguments& a) { return a.symbolRate.has_value(); }},
    {"--lnb", [](const TuneArguments& a) { return a.lnb.has_value(); }},
    {"--diseqc", [](const TuneArguments& a) { return a.diseqcPort.has_value(); }},
};
constexpr FamilyOption kTerrestrialOnly[] = {
    {"--bandwidth", [](const TuneArguments& a) { return a.bandwidthMHz.has_value(); }},
    {"--guard", [](const TuneArguments& a) { return a.guard.has_value(); }},
    {"--mode", [](const TuneArguments& a) { return a.mode.has_value(); }},
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string Choices(std::span<const Named> names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) text += i + 1 == names.size() ? " or " : ", ";
        text += names[i].name;
    }
    return text;
}

std::optional<std::uint8_t> LookUp(std::span<const Named> names, std::string_view option, std::string_view text,
                                   std::string& error) {
    const std::string lower = Lower(text);
    for (const Named& named : names) {
        if (Lower(named.name) == lower) return named.value;
    }
    error = std::string(option) + " '" + std::string(text) + "' is not one of " + Choices(names);
    return std::nullopt;
}

std::string_view NameOf(std::span<const Named> names, std::uint8_t value) {
    for (const Named& named : names) {
        if (named.value == value) return named.name;
    }
    return "?";
}

// A decimal number with at most `decimals` places, in units of 10^-decimals; none for
// anything else or for a value past `limit` (in those units).
std::optional<std::uint64_t> ParseDecimal(std::string_view text, int decimals, std::uint64_t limit) {
    std::uint64_t value = 0;
    int places = -1;  // digits after the point; -1 before it
    bool digits = false;
    for (char c : text) {
        if (c == '.' && places < 0) {
            places = 0;
            continue;
        }
        if (c < '0' || c > '9' || places >= decimals) return std::nullopt;
        digits = true;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (places >= 0) ++places;
        if (value > limit) return std::nullopt;
    }
    if (!digits || places == 0) return std::nullopt;
    for (int i = std::max(places, 0); i < decimals; ++i) value *= 10;
    if (value > limit) return std::nullopt;
    return value;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Largest frequency taken, in kHz: past every band a tuner can see.
constexpr std::uint64_t kMaxFrequencyKHz = 100000000;
// Largest number read as a frequency at all, so that a value in the wrong unit is named
// as such.
constexpr std::uint64_t kMaxNumber = 1000000000000000;

// MHz with up to three decimals, or a whole number of kHz with the suffix "kHz".
std::optional<std::uint32_t> ParseFrequency(std::string_view text, std::string_view what, std::string& error) {
    const std::string lower = Lower(text);
    std::optional<std::uint64_t> kHz;
    if (EndsWith(lower, "khz")) {
        kHz = ParseDecimal(std::string_view(lower).substr(0, lower.size() - 3), 0, kMaxNumber);
    } else {
        const std::string_view number = EndsWith(lower, "mhz") ? std::string_view(lower).substr(0, lower.size() - 3)
                                                                : std::string_view(lower);
        kHz = ParseDecimal(number, 3, kMaxNumber);
    }
    if (kHz && *kHz > kMaxFrequencyKHz) {
        error = std::string(what) + " '" + std::string(text) +
                "' lies beyond every band: give MHz (11623, 177.5) or kHz with the unit (474000kHz)";
        return std::nullopt;
    }
    if (!kHz || *kHz == 0) {
        error = std::string(what) + " '" + std::string(text) +
                "' is no frequency: give MHz (11623, 177.5) or kHz with the unit (474000kHz)";
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*kHz);
}

std::optional<std::uint32_t> ParseSymbolRate(std::string_view text, std::string& error) {
    const auto rate = ParseDecimal(text, 0, 1000000000);
    if (!rate || *rate < tuning::kMinSymbolRate || *rate > tuning::kMaxSymbolRate) {
        error = "--symbol-rate '" + std::string(text) + "' is not a rate in kS/s from " +
                std::to_string(tuning::kMinSymbolRate) + " to " + std::to_string(tuning::kMaxSymbolRate) +
                " (27500, not 27500000)";
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*rate);
}

// "9750,10600,11700" (universal) or "10750" (single band), MHz.
std::optional<LnbSetting> ParseLnb(std::string_view text, std::string& error) {
    std::vector<std::uint32_t> values;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const auto value = ParseFrequency(text.substr(start, comma - start), "--lnb", error);
        if (!value) return std::nullopt;
        values.push_back(*value);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (values.size() == 1) return LnbSetting{values[0], 0, 0};
    if (values.size() == 3 && values[0] < values[1] && values[2] > values[0]) {
        return LnbSetting{values[0], values[1], values[2]};
    }
    error = "--lnb '" + std::string(text) +
            "' is neither LOW,HIGH,SWITCH (MHz, LOW below HIGH, e.g. 9750,10600,11700) nor one oscillator (10750)";
    return std::nullopt;
}

std::optional<std::vector<std::uint16_t>> ParsePids(std::string_view text, std::string& error) {
    std::vector<std::uint16_t> pids;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item = Lower(text.substr(start, comma - start));
        std::optional<std::uint64_t> pid;
        if (item == "all") {
            pid = tuning::kPidAll;
        } else if (item.rfind("0x", 0) == 0 && item.size() > 2 &&
                   item.find_first_not_of("0123456789abcdef", 2) == std::string::npos && item.size() <= 6) {
            pid = std::stoul(item.substr(2), nullptr, 16);
        } else {
            pid = ParseDecimal(item, 0, 0xFFFF);
        }
        if (!pid || (*pid > 0x1FFF && *pid != tuning::kPidAll)) {
            error = "--pids: '" + item + "' is no PID (0 to 8191, 0x0 to 0x1FFF, or all: 8192, 0x2000)";
            return std::nullopt;
        }
        pids.push_back(static_cast<std::uint16_t>(*pid));
        if (comma == std::string_view::npos) return pids;
        start = comma + 1;
    }
}

// Reads an option's value when it was given; false when it was given but is wrong.
template <class T, class Parse>
bool Read(const Invocation& invocation, std::string_view option, std::optional<T>& out, Parse parse) {
    const std::string* value = invocation.Value(option);
    if (!value) return true;
    out = parse(*value);
    return out.has_value();
}

// "a satellite", "an ATSC".
std::string WithArticle(Reception reception) {
    const std::string_view text = ReceptionText(reception);
    return (std::string_view("AEIOUaeiou").find(text.front()) == std::string_view::npos ? "a " : "an ") +
           std::string(text);
}

PlanRefusal Refuse(int exitCode, std::string message) { return PlanRefusal{exitCode, std::move(message)}; }

bool Contains(std::span<const std::uint8_t> values, std::uint8_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// The first option of `options` that the command line gave.
std::optional<std::string_view> FirstGiven(const TuneArguments& a, std::span<const FamilyOption> options) {
    for (const FamilyOption& option : options) {
        if (option.given(a)) return option.name;
    }
    return std::nullopt;
}

std::string ModulationChoices(std::span<const std::uint8_t> values) {
    std::vector<Named> names;
    for (std::uint8_t value : values) names.push_back({NameOf(kModulations, value), value});
    return Choices(names);
}

std::optional<PlanRefusal> CheckPids(const TuneArguments& a, std::size_t room, Reception family) {
    if (!a.pids || a.pids->size() <= room) return std::nullopt;
    return Refuse(kExitUsage, "--pids lists " + std::to_string(a.pids->size()) + " PIDs; " +
                                  WithArticle(family) + " tuner takes at most " + std::to_string(room));
}

std::optional<PlanRefusal> PlanSatellite(const TuneArguments& a, SatelliteTune& t) {
    if (!a.polarisation) return Refuse(kExitUsage, "a satellite tune needs --pol (H, V, L or R)");
    if (!a.symbolRate) return Refuse(kExitUsage, "a satellite tune needs --symbol-rate (kS/s, e.g. 27500)");
    t.frequencyKHz = a.frequencyKHz;
    t.polarisation = *a.polarisation;
    t.symbolRate = *a.symbolRate;
    t.modulation = a.modulation.value_or(tuning::kModulationAuto);
    if (!Contains(kSatelliteModulations, t.modulation)) {
        return Refuse(kExitUsage, "--modulation " + std::string(NameOf(kModulations, t.modulation)) +
                                      " is no satellite modulation: " + ModulationChoices(kSatelliteModulations));
    }
    t.fec = a.fec.value_or(tuning::kFecAuto);
    t.lnb = a.lnb.value_or(LnbSetting{});
    t.diseqcPort = a.diseqcPort;
    t.highBand = t.lnb.lofHighKHz != 0 && t.frequencyKHz >= t.lnb.switchKHz;
    const std::uint32_t lo = t.highBand ? t.lnb.lofHighKHz : t.lnb.lofLowKHz;
    t.intermediateKHz = t.frequencyKHz > lo ? t.frequencyKHz - lo : lo - t.frequencyKHz;
    if (t.intermediateKHz < tuning::kIfMinKHz || t.intermediateKHz > tuning::kIfMaxKHz) {
        return Refuse(kExitUsage, KHzText(t.frequencyKHz) + " through the LNB " + LnbText(t.lnb) +
                                      " gives an intermediate frequency of " + KHzText(t.intermediateKHz) +
                                      ", outside the tuner's 950 to 2150 MHz: give the downlink frequency in MHz, "
                                      "and --lnb for another LNB");
    }
    return CheckPids(a, tuning::kMaxPidsSatellite, Reception::Satellite);
}

std::optional<PlanRefusal> PlanTerrestrial(const TuneArguments& a, Reception family, TerrestrialTune& t) {
    const bool atsc = family == Reception::Atsc;
    if (a.frequencyKHz < tuning::kTerrestrialMinKHz || a.frequencyKHz > tuning::kTerrestrialMaxKHz) {
        return Refuse(kExitUsage, KHzText(a.frequencyKHz) + " lies outside the terrestrial band (47 to 862 MHz)");
    }
    t.frequencyKHz = a.frequencyKHz;
    t.bandwidthMHz = a.bandwidthMHz.value_or(atsc ? 6 : 8);
    t.modulation = a.modulation.value_or(tuning::kModulationAuto);
    const std::span<const std::uint8_t> modulations = atsc ? std::span<const std::uint8_t>(kAtscModulations)
                                                           : std::span<const std::uint8_t>(kDvbtModulations);
    if (!Contains(modulations, t.modulation)) {
        return Refuse(kExitUsage, "--modulation " + std::string(NameOf(kModulations, t.modulation)) + " is no " +
                                      std::string(ReceptionText(family)) + " modulation: " +
                                      ModulationChoices(modulations));
    }
    t.fec = a.fec.value_or(tuning::kFecAuto);
    if (t.fec > tuning::kFec7_8) {
        return Refuse(kExitUsage, "--fec " + std::string(NameOf(kFecs, t.fec)) +
                                      " is a satellite code rate: terrestrial ones are auto, 1/2, 2/3, 3/4, 5/6 or 7/8");
    }
    t.guard = a.guard.value_or(tuning::kGuardAuto);
    t.mode = a.mode.value_or(tuning::kModeAuto);
    return CheckPids(a, tuning::kMaxPidsTerrestrial, family);
}

}  // namespace

std::string_view ReceptionText(Reception reception) {
    switch (reception) {
    case Reception::Satellite: return "satellite";
    case Reception::Terrestrial: return "terrestrial";
    case Reception::Atsc: return "ATSC";
    case Reception::Cable: return "cable";
    case Reception::Unknown: break;
    }
    return "unknown";
}

std::optional<TuneArguments> ParseTuneArguments(const Invocation& invocation, std::string& error) {
    TuneArguments a;
    const auto frequency = ParseFrequency(invocation.positionals.at(1), "frequency", error);
    if (!frequency) return std::nullopt;
    a.frequencyKHz = *frequency;
    const auto named = [&](std::span<const Named> names, std::string_view option) {
        return [&error, names, option](const std::string& text) { return LookUp(names, option, text, error); };
    };
    std::optional<std::uint8_t> family;
    std::optional<std::chrono::milliseconds> timeout;
    const bool read =
        Read(invocation, "--pol", a.polarisation, named(kPolarisations, "--pol")) &&
        Read(invocation, "--symbol-rate", a.symbolRate, [&](const std::string& t) { return ParseSymbolRate(t, error); }) &&
        Read(invocation, "--modulation", a.modulation, named(kModulations, "--modulation")) &&
        Read(invocation, "--fec", a.fec, named(kFecs, "--fec")) &&
        Read(invocation, "--lnb", a.lnb, [&](const std::string& t) { return ParseLnb(t, error); }) &&
        Read(invocation, "--diseqc", a.diseqcPort, named(kPorts, "--diseqc")) &&
        Read(invocation, "--bandwidth", a.bandwidthMHz, named(kBandwidths, "--bandwidth")) &&
        Read(invocation, "--guard", a.guard, named(kGuards, "--guard")) &&
        Read(invocation, "--mode", a.mode, named(kModes, "--mode")) &&
        Read(invocation, "--pids", a.pids, [&](const std::string& t) { return ParsePids(t, error); }) &&
        Read(invocation, "--family", family, named(kFamilies, "--family")) &&
        Read(invocation, "--timeout", timeout, [&](const std::string& t) { return ParseSeconds("--timeout", t, error); });
    if (!read) return std::nullopt;
    if (family) a.family = static_cast<Reception>(*family);
    if (timeout) a.timeout = *timeout;
    a.json = invocation.Has("--json");
    return a;
}

std::optional<TunePlan> PlanTune(const TuneArguments& a, Reception model, std::string_view tunerName,
                                 PlanRefusal& refusal) {
    const std::string name(tunerName);
    Reception family = model;
    if (model == Reception::Cable) {
        refusal = Refuse(kExitWrongFamily, name + " is a cable tuner: ombrel tunes satellite and terrestrial tuners");
        return std::nullopt;
    }
    if (model == Reception::Unknown) {
        if (!a.family) {
            refusal = Refuse(kExitUsage, "the model of " + name +
                                             " is not known, and so not what it receives: give --family "
                                             "satellite, terrestrial or atsc");
            return std::nullopt;
        }
        family = *a.family;
    } else if (a.family && *a.family != model) {
        refusal = Refuse(kExitWrongFamily, name + " is " + WithArticle(model) + " tuner, not " +
                                               std::string(ReceptionText(*a.family)));
        return std::nullopt;
    }

    const bool satellite = family == Reception::Satellite;
    if (const auto foreign = FirstGiven(a, satellite ? std::span<const FamilyOption>(kTerrestrialOnly)
                                                          : std::span<const FamilyOption>(kSatelliteOnly))) {
        refusal = Refuse(kExitWrongFamily, std::string(*foreign) + " is for " + (satellite ? "terrestrial" : "satellite") +
                                               " tuners; " + name + " is " + WithArticle(family) + " tuner");
        return std::nullopt;
    }
    TunePlan plan;
    plan.family = family;
    plan.pids = a.pids;
    std::optional<PlanRefusal> refused;
    if (satellite) {
        refused = PlanSatellite(a, plan.tune.emplace<SatelliteTune>());
    } else {
        refused = PlanTerrestrial(a, family, plan.tune.emplace<TerrestrialTune>());
    }
    if (refused) {
        refusal = std::move(*refused);
        return std::nullopt;
    }
    return plan;
}

std::vector<std::uint8_t> DiseqcSwitchMessage(const SatelliteTune& tune) {
    // Framing E0 (from the master, no reply), address 10 (any LNB or switch), command 38
    // (write port group 0); data: option/position from the port, then polarisation
    // (1 = horizontal, 18 V) and band (1 = high).
    const std::uint8_t port = tune.diseqcPort.value_or(0);
    const bool horizontal = tune.polarisation == tuning::kHorizontal || tune.polarisation == tuning::kCircularLeft;
    const auto data = static_cast<std::uint8_t>(0xF0 | port << 2 | (horizontal ? 2 : 0) | (tune.highBand ? 1 : 0));
    return {0xE0, 0x10, 0x38, data};
}

std::optional<std::chrono::milliseconds> ParseSeconds(std::string_view option, std::string_view text,
                                                      std::string& error) {
    constexpr std::uint64_t kHourMs = 3600000;
    const auto ms = ParseDecimal(text, 3, kHourMs);
    if (!ms || *ms == 0) {
        error = std::string(option) + " '" + std::string(text) + "' is not a number of seconds above 0 and up to 3600";
        return std::nullopt;
    }
    return std::chrono::milliseconds(*ms);
}

std::optional<LnbSetting> ParseLnbOption(std::string_view text, std::string& error) { return ParseLnb(text, error); }

std::optional<Reception> ParseFamilyOption(std::string_view text, std::string& error) {
    const auto family = LookUp(kFamilies, "--family", text, error);
    if (!family) return std::nullopt;
    return static_cast<Reception>(*family);
}

std::optional<StatusArguments> ParseStatusArguments(const Invocation& invocation, std::string& error) {
    StatusArguments s;
    s.follow = invocation.Has("--follow");
    s.json = invocation.Has("--json");
    if (const std::string* interval = invocation.Value("--interval")) {
        if (!s.follow) {
            error = "--interval needs --follow";
            return std::nullopt;
        }
        const auto parsed = ParseSeconds("--interval", *interval, error);
        if (!parsed) return std::nullopt;
        s.interval = *parsed;
    }
    return s;
}

std::string_view PolarisationText(std::uint8_t polarisation) { return NameOf(kPolarisations, polarisation); }
std::string_view PortText(std::uint8_t port) { return NameOf(kPorts, port); }
std::string_view ModulationText(std::uint8_t modulation) { return NameOf(kModulations, modulation); }
std::string_view FecText(std::uint8_t fec) { return NameOf(kFecs, fec); }
std::string_view GuardText(std::uint8_t guard) { return NameOf(kGuards, guard); }
std::string_view ModeText(std::uint8_t mode) { return NameOf(kModes, mode); }

}  // namespace ombrel_cli
