#include "FrontEndSky.h"

#include <cstdio>

#include "Sky.h"
#include "TunerModels.h"

namespace tunersim::frontend {

namespace {

// A carrier counts as found within these distances of the tuned frequency.
constexpr uint32_t kSatelliteToleranceKHz = 3000;
constexpr uint32_t kTerrestrialToleranceKHz = 250;

uint32_t Distance(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

// A requested value fits when it asks for automatic detection or names the carrier's.
bool Fits(uint8_t requested, uint8_t actual, uint8_t automatic) {
    return requested == automatic || requested == actual;
}

bool SymbolRateFits(uint32_t requested, uint32_t actual) {
    return static_cast<uint64_t>(Distance(requested, actual)) * 100 <= actual;  // 1 %
}

const char* PolarisationName(uint8_t p) { return p == kVertical ? "V" : "H"; }

}  // namespace

Family FamilyOf(uint8_t productLine, uint8_t modelCode) {
    // The revision tells two models of one code apart, never what they receive. Cable
    // boxes have no sky here: they receive nothing.
    switch (models::Identify(productLine, modelCode, 0).reception) {
    case models::Reception::Satellite: return Family::Satellite;
    case models::Reception::Terrestrial: return Family::Terrestrial;
    case models::Reception::Atsc: return Family::Atsc;
    case models::Reception::Cable:
    case models::Reception::None: break;
    }
    return Family::None;
}

const char* FamilyName(Family family) {
    switch (family) {
    case Family::Satellite: return models::ReceptionName(models::Reception::Satellite);
    case Family::Terrestrial: return models::ReceptionName(models::Reception::Terrestrial);
    case Family::Atsc: return models::ReceptionName(models::Reception::Atsc);
    case Family::None: break;
    }
    return models::ReceptionName(models::Reception::None);
}

Reception Receive(const SatelliteSignal& signal) {
    Reception found;
    if (signal.voltage != 13 && signal.voltage != 18) return found;  // the LNB is unpowered
    if (signal.ifKHz < kIfMinKHz || signal.ifKHz > kIfMaxKHz) return found;
    const uint32_t downlink =
        signal.ifKHz + (signal.tone ? kLnbHighOscillatorKHz : kLnbLowOscillatorKHz);
    const uint8_t polarisation = signal.voltage == 13 ? kVertical : kHorizontal;
    const auto& sky = sky::Multiplexes();
    for (std::size_t i = 0; i < sky.size(); ++i) {
        const sky::Multiplex& t = sky[i];
        if (!sky::IsSatellite(t) || t.input != signal.input || t.polarisation != polarisation ||
            Distance(t.frequencyKHz, downlink) > kSatelliteToleranceKHz)
            continue;
        found.carrier = true;
        found.locked = SymbolRateFits(signal.symbolRate, t.symbolRate) &&
                       Fits(signal.modulation, t.modulation, kModulationAuto) &&
                       Fits(signal.fec, t.fec, kFecAuto);
        found.frequencyHz = static_cast<uint64_t>(t.frequencyKHz) * 1000;
        found.figures = t.figures;
        found.name = t.name.c_str();
        found.multiplex = static_cast<int>(i);
        return found;
    }
    return found;
}

Reception Receive(const TerrestrialSignal& signal) {
    Reception found;
    const auto& sky = sky::Multiplexes();
    for (std::size_t i = 0; i < sky.size(); ++i) {
        const sky::Multiplex& c = sky[i];
        if (sky::IsSatellite(c) || Distance(c.frequencyKHz, signal.frequencyKHz) > kTerrestrialToleranceKHz)
            continue;
        found.carrier = true;
        const bool atsc = sky::IsAtsc(c);
        const bool sameStandard = atsc == signal.atscReceiver;
        const bool fits = atsc ? Fits(signal.modulation, k8vsb, kModulationAuto)
                               : Fits(signal.modulation, c.modulation, kModulationAuto) &&
                                     Fits(signal.fec, c.fec, kFecAuto) &&
                                     Fits(signal.guard, c.guard, kGuardAuto) &&
                                     Fits(signal.mode, c.mode, kModeAuto);
        found.locked = sameStandard && signal.bandwidthMHz == c.bandwidthMHz && fits;
        found.frequencyHz = static_cast<uint64_t>(c.frequencyKHz) * 1000;
        found.figures = c.figures;
        found.name = c.name.c_str();
        found.multiplex = static_cast<int>(i);
        return found;
    }
    return found;
}

std::vector<std::string> DescribeSky() {
    std::vector<std::string> lines;
    char line[160];
    for (const auto& t : sky::Multiplexes()) {
        if (sky::IsSatellite(t)) {
            const uint32_t lo = t.frequencyKHz >= 11700000 ? kLnbHighOscillatorKHz : kLnbLowOscillatorKHz;
            std::snprintf(line, sizeof line,
                          "satellite input %c  %8u kHz %s  %5u kS/s  IF %7u kHz, tone %s  %s",
                          'A' + t.input, t.frequencyKHz, PolarisationName(t.polarisation),
                          t.symbolRate, t.frequencyKHz - lo, lo == kLnbHighOscillatorKHz ? "on " : "off",
                          t.modulation == k8psk ? "8PSK" : "QPSK");
        } else {
            const bool atsc = sky::IsAtsc(t);
            std::snprintf(line, sizeof line, "%-11s  %8u kHz  %u MHz  %s", atsc ? "ATSC" : "terrestrial",
                          t.frequencyKHz, t.bandwidthMHz,
                          atsc ? "8VSB" : t.modulation == kQam64 ? "QAM64" : "QAM16");
        }
        lines.emplace_back(line);
    }
    return lines;
}

}  // namespace tunersim::frontend
