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

Json SatelliteJson(const SatelliteTune& t) {
    std::optional<std::string_view> port;
    if (t.diseqcPort) port = PortText(*t.diseqcPort);
    return {{"family", "satellite"},
            {"frequencyKHz", t.frequencyKHz},
            {"polarisation", PolarisationText(t.polarisation)},
            {"symbolRate", t.symbolRate},
            {"modulation", ModulationText(t.modulation)},
            {"fec", FecText(t.fec)},
            {"lnb", {{"lofLowKHz", t.lnb.lofLowKHz}, {"lofHighKHz", t.lnb.lofHighKHz}, {"switchKHz", t.lnb.switchKHz}}},
            {"highBand", t.highBand},
            {"intermediateKHz", t.intermediateKHz},
            {"diseqcPort", OrNull(port)}};
}

Json TerrestrialJson(Reception family, const TerrestrialTune& t) {
    return {{"family", family == Reception::Atsc ? "ATSC" : "terrestrial"},
            {"frequencyKHz", t.frequencyKHz},
            {"bandwidthMHz", t.bandwidthMHz},
            {"modulation", ModulationText(t.modulation)},
            {"fec", FecText(t.fec)},
            {"guard", GuardText(t.guard)},
            {"mode", ModeText(t.mode)}};
}

Json StatusObject(const FrontEndReading& r) {
    const bool withFrequency = r.flag == tuning::kFlagLocked && r.frequencyHz != 0;
    return {{"tuning", TuningFlagText(r.flag)},
            {"flag", r.flag},
            {"frequencyHz", withFrequency ? Json(r.frequencyHz) : Json(nullptr)},
            {"locked", r.locked},
            {"carrier", r.carrier},
            {"signalStrength", r.strength},
            {"signalQuality", r.quality},
            {"signalToNoiseDb", r.snrTenthsDb / 10.0},
            {"bitErrorsPer1e8", r.bitErrorRate},
            {"uncorrectedBlocks", r.uncorrectedBlocks}};
}

Json TunePlanJson(const TunePlan& plan) {
    Json tune = std::holds_alternative<SatelliteTune>(plan.tune)
                    ? SatelliteJson(std::get<SatelliteTune>(plan.tune))
                    : TerrestrialJson(plan.family, std::get<TerrestrialTune>(plan.tune));
    tune["pids"] = OrNull(plan.pids);
    return tune;
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

std::string StatusJson(const FrontEndReading& r) { return JsonText(StatusObject(r)); }

std::string TunePlanText(const TunePlan& plan) {
    std::string text = std::holds_alternative<SatelliteTune>(plan.tune)
                           ? SatelliteText(std::get<SatelliteTune>(plan.tune))
                           : TerrestrialText(plan.family, std::get<TerrestrialTune>(plan.tune));
    if (plan.pids) text += LabelledLine("PIDs", PidsText(*plan.pids));
    return text;
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

std::string TuneFailureText(TuneOutcome outcome, const TunePlan& plan, std::chrono::milliseconds timeout,
                            std::optional<std::uint8_t> switchInput) {
    const auto* satellite = std::get_if<SatelliteTune>(&plan.tune);
    const std::uint32_t kHz =
        satellite ? satellite->frequencyKHz : std::get<TerrestrialTune>(plan.tune).frequencyKHz;
    const std::string noMultiplex = "no lock: the front end found no multiplex at " + KHzText(kHz) + " with these settings";
    switch (outcome) {
    case TuneOutcome::Locked: return {};
    case TuneOutcome::NoSignal:
        if (!satellite) return noMultiplex;
        if (satellite->diseqcPort) {
            return noMultiplex + ", on DiSEqC input " + std::string(PortText(*satellite->diseqcPort)) +
                   " (--diseqc A..D chooses another input)";
        }
        if (switchInput) {
            const std::string input(PortText(*switchInput));
            return noMultiplex + "; the DiSEqC switch points at input " + input + ", where 'ombrel tune --diseqc " +
                   input + "' left it: --diseqc A..D chooses another input";
        }
        return noMultiplex + "; no --diseqc was given, so the DiSEqC switch stays at the input it was last set to: "
                             "--diseqc A..D chooses one";
    case TuneOutcome::TimedOut:
        return "no lock within " + SecondsText(timeout) + ": the front end is still settling (--timeout allows longer)";
    case TuneOutcome::Interrupted: break;
    }
    return "stopped waiting for lock; the tuner keeps the tune";
}

std::string TuneJson(const TunerLine& tuner, const TunePlan& plan, TuneOutcome outcome,
                     std::chrono::milliseconds elapsed, const FrontEndReading& reading, const TextDecoder& decode) {
    const Json tune = {{"tuner", TunerLineJson(tuner, decode)},
                       {"tune", TunePlanJson(plan)},
                       {"result", TuneOutcomeText(outcome)},
                       {"elapsedMs", elapsed.count()},
                       {"status", StatusObject(reading)}};
    return JsonText(tune) + "\n";
}

}  // namespace ombrel_cli
