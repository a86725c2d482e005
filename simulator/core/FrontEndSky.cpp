#include "FrontEndSky.h"

#include <cstdio>

namespace tunersim::frontend {

namespace {

struct ModelFamily {
    uint8_t productLine;
    uint8_t modelCode;
    Family family;
};

// Cable models (line 1: 0x26, 0x36; line 10: 0x21, 0x24) and unknown ones are absent.
constexpr ModelFamily kModelFamilies[] = {
    {1, 0x14, Family::Satellite},    {1, 0x24, Family::Satellite},
    {1, 0x28, Family::Satellite},    {1, 0x34, Family::Satellite},
    {1, 0x25, Family::Terrestrial},  {1, 0x35, Family::Terrestrial},
    {1, 0x37, Family::Atsc},         {10, 0x1F, Family::Satellite},
    {10, 0x22, Family::Satellite},   {10, 0x20, Family::Terrestrial},
    {10, 0x23, Family::Terrestrial}, {10, 0x25, Family::Atsc},
};

// A carrier counts as found within these distances of the tuned frequency.
constexpr uint32_t kSatelliteToleranceKHz = 3000;
constexpr uint32_t kTerrestrialToleranceKHz = 250;

struct Transponder {
    const char* name;
    uint8_t input;
    uint32_t frequencyKHz;  // downlink
    uint8_t polarisation;   // kHorizontal or kVertical
    uint32_t symbolRate;
    uint8_t modulation;
    uint8_t fec;
    Figures figures;
};

constexpr Transponder kTransponders[] = {
    {"A 10744 H", 0, 10744000, kHorizontal, 22000, kQpsk, kFec5_6, {78, 88, 128, 40, 0}},
    {"A 11362 H", 0, 11362000, kHorizontal, 22000, k8psk, kFec2_3, {74, 82, 112, 150, 0}},
    {"A 11597 V", 0, 11597000, kVertical, 22000, kQpsk, kFec5_6, {71, 80, 109, 210, 0}},
    {"A 12188 H", 0, 12188000, kHorizontal, 27500, kQpsk, kFec3_4, {69, 77, 104, 380, 0}},
    {"A 12603 V", 0, 12603000, kVertical, 22000, kQpsk, kFec5_6, {41, 35, 58, 52000, 90}},
    {"B 10971 V", 1, 10971000, kVertical, 29700, k8psk, kFec2_3, {80, 90, 135, 25, 0}},
    {"B 11623 V", 1, 11623000, kVertical, 27500, kQpsk, kFec3_4, {76, 84, 118, 90, 0}},
    {"B 11996 H", 1, 11996000, kHorizontal, 27500, kQpsk, kFec3_4, {73, 81, 111, 160, 0}},
    {"B 12380 V", 1, 12380000, kVertical, 27500, k8psk, kFec3_4, {70, 78, 102, 300, 0}},
};

struct Channel {
    const char* name;
    uint32_t frequencyKHz;  // centre
    uint8_t bandwidthMHz;
    bool atsc;              // 8VSB; the other fields below are DVB-T's
    uint8_t modulation;
    uint8_t fec;
    uint8_t guard;
    uint8_t mode;
    Figures figures;
};

constexpr Channel kChannels[] = {
    {"T 177.5 MHz", 177500, 7, false, kQam64, kFec3_4, kGuard1_8, kMode8k, {70, 76, 200, 200, 0}},
    {"T 474 MHz", 474000, 8, false, kQam64, kFec2_3, kGuard1_4, kMode8k, {82, 86, 245, 30, 0}},
    {"T 522 MHz", 522000, 8, false, kQam16, kFec3_4, kGuard1_8, kMode8k, {75, 80, 190, 120, 0}},
    {"T 658 MHz", 658000, 8, false, kQam64, kFec2_3, kGuard1_32, kMode2k, {52, 48, 160, 9000, 30}},
    {"ATSC 593 MHz", 593000, 6, true, k8vsb, kFecAuto, kGuardAuto, kModeAuto, {72, 79, 190, 150, 0}},
    {"ATSC 617 MHz", 617000, 6, true, k8vsb, kFecAuto, kGuardAuto, kModeAuto, {66, 71, 172, 420, 0}},
};

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
    for (const auto& row : kModelFamilies) {
        if (row.productLine == productLine && row.modelCode == modelCode) return row.family;
    }
    return Family::None;
}

const char* FamilyName(Family family) {
    switch (family) {
    case Family::Satellite: return "satellite";
    case Family::Terrestrial: return "terrestrial";
    case Family::Atsc: return "ATSC";
    case Family::None: break;
    }
    return "none";
}

Reception Receive(const SatelliteSignal& signal) {
    Reception found;
    if (signal.voltage != 13 && signal.voltage != 18) return found;  // the LNB is unpowered
    if (signal.ifKHz < kIfMinKHz || signal.ifKHz > kIfMaxKHz) return found;
    const uint32_t downlink =
        signal.ifKHz + (signal.tone ? kLnbHighOscillatorKHz : kLnbLowOscillatorKHz);
    const uint8_t polarisation = signal.voltage == 13 ? kVertical : kHorizontal;
    for (const auto& t : kTransponders) {
        if (t.input != signal.input || t.polarisation != polarisation ||
            Distance(t.frequencyKHz, downlink) > kSatelliteToleranceKHz)
            continue;
        found.carrier = true;
        found.locked = SymbolRateFits(signal.symbolRate, t.symbolRate) &&
                       Fits(signal.modulation, t.modulation, kModulationAuto) &&
                       Fits(signal.fec, t.fec, kFecAuto);
        found.frequencyHz = static_cast<uint64_t>(t.frequencyKHz) * 1000;
        found.figures = t.figures;
        found.name = t.name;
        return found;
    }
    return found;
}

Reception Receive(const TerrestrialSignal& signal) {
    Reception found;
    for (const auto& c : kChannels) {
        if (Distance(c.frequencyKHz, signal.frequencyKHz) > kTerrestrialToleranceKHz) continue;
        found.carrier = true;
        const bool sameStandard = c.atsc == signal.atscReceiver;
        const bool fits = c.atsc ? Fits(signal.modulation, k8vsb, kModulationAuto)
                                 : Fits(signal.modulation, c.modulation, kModulationAuto) &&
                                       Fits(signal.fec, c.fec, kFecAuto) &&
                                       Fits(signal.guard, c.guard, kGuardAuto) &&
                                       Fits(signal.mode, c.mode, kModeAuto);
        found.locked = sameStandard && signal.bandwidthMHz == c.bandwidthMHz && fits;
        found.frequencyHz = static_cast<uint64_t>(c.frequencyKHz) * 1000;
        found.figures = c.figures;
        found.name = c.name;
        return found;
    }
    return found;
}

std::vector<std::string> DescribeSky() {
    std::vector<std::string> lines;
    char line[160];
    for (const auto& t : kTransponders) {
        const uint32_t lo = t.frequencyKHz >= 11700000 ? kLnbHighOscillatorKHz : kLnbLowOscillatorKHz;
        std::snprintf(line, sizeof line,
                      "satellite input %c  %8u kHz %s  %5u kS/s  IF %7u kHz, tone %s  %s",
                      'A' + t.input, t.frequencyKHz, PolarisationName(t.polarisation),
                      t.symbolRate, t.frequencyKHz - lo, lo == kLnbHighOscillatorKHz ? "on " : "off",
                      t.modulation == k8psk ? "8PSK" : "QPSK");
        lines.emplace_back(line);
    }
    for (const auto& c : kChannels) {
        std::snprintf(line, sizeof line, "%-11s  %8u kHz  %u MHz  %s", c.atsc ? "ATSC" : "terrestrial",
                      c.frequencyKHz, c.bandwidthMHz,
                      c.atsc ? "8VSB" : c.modulation == kQam64 ? "QAM64" : "QAM16");
        lines.emplace_back(line);
    }
    return lines;
}

}  // namespace tunersim::frontend
