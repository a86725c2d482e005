#include "FrontEndOutput.h"

#include "TextOutput.h"

#include <cstdio>

namespace ombrel_cli {
namespace {

// A fixed-point value with the trailing zeros of its fraction dropped: 11623000, 3 ->
// "11623"; 177500, 3 -> "177.5".
std::string TrimmedFixed(std::uint64_t value, int decimals) {
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    std::string text = std::to_string(value / scale);
    std::uint64_t fraction = value % scale;
    if (fraction == 0) return text;
    std::string digits = std::to_string(fraction);
    digits.insert(0, static_cast<std::size_t>(decimals) - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    return text + "." + digits;
}

std::string SnrText(std::uint32_t tenths) { return TrimmedFixed(tenths, 1) + " dB"; }

std::string YesNo(bool value) { return value ? "yes" : "no"; }

std::string PidsText(const std::vector<std::uint16_t>& pids) {
    std::string text;
    for (std::uint16_t pid : pids) {
        if (!text.empty()) text += ", ";
        text += pid == tuning::kPidAll ? std::string("all") : Hex16Text(pid);
    }
    return text.empty() ? "none" : text;
}

std::string SatelliteText(const SatelliteTune& t) {
    std::string text = LabelledLine(
        "Tune", "satellite " + KHzText(t.frequencyKHz) + " " + std::string(PolarisationText(t.polarisation)) + ", " +
                    std::to_string(t.symbolRate) + " kS/s, modulation " + std::string(ModulationText(t.modulation)) +
                    ", FEC " + std::string(FecText(t.fec)));
    std::string lnb = LnbText(t.lnb) + ", " + (t.highBand ? "high" : "low") + " band, intermediate frequency " +
                      KHzText(t.intermediateKHz);
    if (t.diseqcPort) lnb += ", DiSEqC port " + std::string(PortText(*t.diseqcPort));
    return text + LabelledLine("LNB", lnb);
}

std::string TerrestrialText(Reception family, const TerrestrialTune& t) {
    std::string text = std::string(ReceptionText(family)) + " " + KHzText(t.frequencyKHz) + ", " +
                       std::to_string(t.bandwidthMHz) + " MHz bandwidth, modulation " +
                       std::string(ModulationText(t.modulation));
    if (family != Reception::Atsc) {
        text += ", FEC " + std::string(FecText(t.fec)) + ", guard interval " + std::string(GuardText(t.guard)) +
                ", mode " + std::string(ModeText(t.mode));
    }
    return LabelledLine("Tune", text);
}

void AddSatellite(JsonObject& object, const SatelliteTune& t) {
    const std::string lnb = JsonObject()
                                .Number("lofLowKHz", t.lnb.lofLowKHz)
                                .Number("lofHighKHz", t.lnb.lofHighKHz)
                                .Number("switchKHz", t.lnb.switchKHz)
                                .str();
    const std::optional<std::string> port =
        t.diseqcPort ? std::optional(JsonQuote(PortText(*t.diseqcPort))) : std::nullopt;
    object.Text("family", "satellite")
        .Number("frequencyKHz", t.frequencyKHz)
        .Text("polarisation", PolarisationText(t.polarisation))
        .Number("symbolRate", t.symbolRate)
        .Text("modulation", ModulationText(t.modulation))
        .Text("fec", FecText(t.fec))
        .Raw("lnb", lnb)
        .Bool("highBand", t.highBand)
        .Number("intermediateKHz", t.intermediateKHz)
        .Maybe("diseqcPort", port);
}

void AddTerrestrial(JsonObject& object, Reception family, const TerrestrialTune& t) {
    object.Text("family", family == Reception::Atsc ? "ATSC" : "terrestrial")
        .Number("frequencyKHz", t.frequencyKHz)
        .Number("bandwidthMHz", t.bandwidthMHz)
        .Text("modulation", ModulationText(t.modulation))
        .Text("fec", FecText(t.fec))
        .Text("guard", GuardText(t.guard))
        .Text("mode", ModeText(t.mode));
}

}  // namespace

std::string SecondsText(std::chrono::milliseconds elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(elapsed.count()) / 1000.0);
    return text;
}

std::string HzText(std::uint64_t hz) { return TrimmedFixed(hz, 6) + " MHz"; }
std::string KHzText(std::uint64_t kHz) { return TrimmedFixed(kHz, 3) + " MHz"; }

std::string LnbText(const LnbSetting& lnb) {
    if (lnb.lofHighKHz == 0) return KHzText(lnb.lofLowKHz) + " (single band)";
    return TrimmedFixed(lnb.lofLowKHz, 3) + "/" + TrimmedFixed(lnb.lofHighKHz, 3) + "/" + KHzText(lnb.switchKHz);
}

std::string TuningFlagText(int flag) {
    switch (flag) {
    case tuning::kFlagBusy: return "busy";
    case tuning::kFlagLocked: return "locked";
    case tuning::kFlagNoSignal: return "no signal";
    default: break;
    }
    return "flag " + std::to_string(flag);
}

std::string BitErrorRateText(std::uint32_t perHundredMillion) {
    if (perHundredMillion == 0) return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", static_cast<double>(perHundredMillion) * 1e-8);
    return text;
}

std::string StatusText(const FrontEndReading& r) {
    std::string flag = TuningFlagText(r.flag);
    if (r.flag == tuning::kFlagLocked && r.frequencyHz != 0) flag += " (" + HzText(r.frequencyHz) + ")";
    return LabelledLine("Tuning flag", flag) + LabelledLine("Locked", YesNo(r.locked)) +
           LabelledLine("Carrier", YesNo(r.carrier)) + LabelledLine("Signal strength", std::to_string(r.strength) + " %") +
           LabelledLine("Signal quality", std::to_string(r.quality) + " %") +
           LabelledLine("Signal to noise", SnrText(r.snrTenthsDb)) +
           LabelledLine("Bit error rate",
                        BitErrorRateText(r.bitErrorRate) + " (" + std::to_string(r.bitErrorRate) + " per 10^8 bits)") +
           LabelledLine("Uncorrected blocks", std::to_string(r.uncorrectedBlocks));
}

std::string StatusLine(const FrontEndReading& r, std::string_view clock) {
    const std::string frequency = r.flag == tuning::kFlagLocked && r.frequencyHz != 0 ? HzText(r.frequencyHz) : "-";
    char line[256];
    std::snprintf(line, sizeof line, "%.*s  %-9s  %-14s  signal %3u %%  quality %3u %%  SNR %s  BER %s  uncorrected %u\n",
                  static_cast<int>(clock.size()), clock.data(), TuningFlagText(r.flag).c_str(), frequency.c_str(),
                  static_cast<unsigned>(r.strength), static_cast<unsigned>(r.quality), SnrText(r.snrTenthsDb).c_str(),
                  BitErrorRateText(r.bitErrorRate).c_str(), static_cast<unsigned>(r.uncorrectedBlocks));
    return line;
}

std::string StatusJson(const FrontEndReading& r) {
    const bool withFrequency = r.flag == tuning::kFlagLocked && r.frequencyHz != 0;
    return JsonObject()
        .Text("tuning", TuningFlagText(r.flag))
        .Number("flag", r.flag)
        .Maybe("frequencyHz", withFrequency ? std::optional(std::to_string(r.frequencyHz)) : std::nullopt)
        .Bool("locked", r.locked)
        .Bool("carrier", r.carrier)
        .Number("signalStrength", r.strength)
        .Number("signalQuality", r.quality)
        .Raw("signalToNoiseDb", TrimmedFixed(r.snrTenthsDb, 1))
        .Number("bitErrorsPer1e8", r.bitErrorRate)
        .Number("uncorrectedBlocks", r.uncorrectedBlocks)
        .str();
}

std::string TunePlanText(const TunePlan& plan) {
    std::string text = std::holds_alternative<SatelliteTune>(plan.tune)
                           ? SatelliteText(std::get<SatelliteTune>(plan.tune))
                           : TerrestrialText(plan.family, std::get<TerrestrialTune>(plan.tune));
    if (plan.pids) text += LabelledLine("PIDs", PidsText(*plan.pids));
    return text;
}

std::string TunePlanJson(const TunePlan& plan) {
    JsonObject object;
    if (const auto* satellite = std::get_if<SatelliteTune>(&plan.tune)) {
        AddSatellite(object, *satellite);
    } else {
        AddTerrestrial(object, plan.family, std::get<TerrestrialTune>(plan.tune));
    }
    std::optional<std::string> pids;
    if (plan.pids) {
        std::vector<std::string> numbers;
        for (std::uint16_t pid : *plan.pids) numbers.push_back(std::to_string(pid));
        pids = JsonArray(numbers);
    }
    return object.Maybe("pids", pids).str();
}

std::string_view TuneOutcomeText(TuneOutcome outcome) {
    switch (outcome) {
    case TuneOutcome::Locked: return "locked";
    case TuneOutcome::NoSignal: return "no signal";
    case TuneOutcome::TimedOut: return "timeout";
    case TuneOutcome::Interrupted: break;
    }
    return "interrupted";
}

std::string TuneResultText(TuneOutcome outcome, const FrontEndReading& reading, std::chrono::milliseconds elapsed) {
    const std::string after = " after " + SecondsText(elapsed);
    switch (outcome) {
    case TuneOutcome::Locked:
        return "locked" + (reading.frequencyHz != 0 ? " on " + HzText(reading.frequencyHz) : std::string()) + after;
    case TuneOutcome::NoSignal: return "no signal" + after;
    case TuneOutcome::TimedOut: return "still settling" + after;
    case TuneOutcome::Interrupted: break;
    }
    return "stopped waiting" + after;
}

std::string TuneFailureText(TuneOutcome outcome, const TunePlan& plan, std::chrono::milliseconds timeout) {
    const std::uint32_t kHz = std::holds_alternative<SatelliteTune>(plan.tune)
                                  ? std::get<SatelliteTune>(plan.tune).frequencyKHz
                                  : std::get<TerrestrialTune>(plan.tune).frequencyKHz;
    switch (outcome) {
    case TuneOutcome::Locked: return {};
    case TuneOutcome::NoSignal: return "no lock: the front end found no multiplex at " + KHzText(kHz) + " with these settings";
    case TuneOutcome::TimedOut:
        return "no lock within " + SecondsText(timeout) + ": the front end is still settling (--timeout allows longer)";
    case TuneOutcome::Interrupted: break;
    }
    return "stopped waiting for lock; the tuner keeps the tune";
}

std::string TuneJson(const TunerLine& tuner, const TunePlan& plan, TuneOutcome outcome,
                     std::chrono::milliseconds elapsed, const FrontEndReading& reading, const TextDecoder& decode) {
    return JsonObject()
               .Raw("tuner", TunerLineJson(tuner, decode))
               .Raw("tune", TunePlanJson(plan))
               .Text("result", TuneOutcomeText(outcome))
               .Number("elapsedMs", elapsed.count())
               .Raw("status", StatusJson(reading))
               .str() +
           "\n";
}

}  // namespace ombrel_cli
