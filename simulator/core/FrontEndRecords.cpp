#include "FrontEndRecords.h"

#include <cstring>

#include "FrontEndSky.h"

namespace tunersim::frontend {

namespace {

constexpr uint32_t kMinSymbolRate = 1000;
constexpr uint32_t kMaxSymbolRate = 45000;
constexpr uint32_t kTerrestrialMinKHz = 47000;
constexpr uint32_t kTerrestrialMaxKHz = 862000;

constexpr uint8_t kDiseqcCommittedSwitch = 0x38;

bool SatelliteModulation(uint8_t m) { return m == kModulationAuto || m == kQpsk || m == k8psk; }

bool TerrestrialModulation(uint8_t m, bool atsc) {
    if (atsc) return m == kModulationAuto || m == k8vsb;
    return m == kModulationAuto || m == kQpsk || m == kQam16 || m == kQam64;
}

}  // namespace

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void WriteLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

SatelliteTune ReadSatelliteTune(const uint8_t* r) {
    return {ReadLe32(r), ReadLe32(r + 4), r[8], r[9], r[10], r[11]};
}

TerrestrialTune ReadTerrestrialTune(const uint8_t* r) {
    return {ReadLe32(r), r[4], r[5], r[6], r[7], r[8]};
}

LnbParameters ReadLnbParameters(const uint8_t* r) {
    return {ReadLe32(r), ReadLe32(r + 4), ReadLe32(r + 8), r[12], r[13]};
}

LnbCommand ReadLnbCommand(const uint8_t* r) { return {r[0], r + 1, r[17]}; }

void WriteUniversalLnb(uint8_t* r) {
    std::memset(r, 0, kLnbParametersLength);
    WriteLe32(r, kLnbLowOscillatorKHz);
    WriteLe32(r + 4, kLnbHighOscillatorKHz);
    WriteLe32(r + 8, 11700000);
    r[12] = kToneAuto;
    r[13] = kVoltageAuto;
}

uint16_t PidCapacity(uint32_t length) { return static_cast<uint16_t>((length - 2) / 2); }

bool PidListValid(const uint8_t* record, uint32_t length) {
    const uint16_t count = ReadLe16(record);
    if (count > PidCapacity(length)) return false;
    for (uint16_t i = 0; i < count; ++i) {
        if (ReadLe16(record + 2 + 2 * i) > kPidAll) return false;
    }
    return true;
}

bool SatelliteTuneValid(const SatelliteTune& t, bool qpsk) {
    return t.symbolRate >= kMinSymbolRate && t.symbolRate <= kMaxSymbolRate &&
           t.polarisation <= kCircularRight && SatelliteModulation(t.modulation) &&
           t.fec <= kFec9_10 && (!qpsk || t.tone <= kToneOn);
}

bool TerrestrialTuneValid(const TerrestrialTune& t, bool atsc) {
    return t.frequencyKHz >= kTerrestrialMinKHz && t.frequencyKHz <= kTerrestrialMaxKHz &&
           t.bandwidthMHz >= 6 && t.bandwidthMHz <= 8 && TerrestrialModulation(t.modulation, atsc) &&
           t.fec <= kFec7_8 && t.guard <= kGuard1_4 && t.mode <= kMode8k;
}

bool LnbParametersValid(const LnbParameters& p) {
    return p.tone <= kToneAuto && p.voltage <= kVoltageAuto;
}

bool LnbCommandValid(const LnbCommand& c) {
    return c.length <= kMaxDiseqcBytes && c.burst <= kBurstB;
}

int SelectedInput(const LnbCommand& c) {
    int input = -1;
    const uint8_t* m = c.message;
    if (c.length >= 4 && (m[0] == 0xE0 || m[0] == 0xE1) && (m[1] & 0xF0) == 0x10 &&
        m[2] == kDiseqcCommittedSwitch)
        input = (m[3] >> 2) & 3;
    if (c.burst == kBurstA) input = 0;
    if (c.burst == kBurstB) input = 1;
    return input;
}

}  // namespace tunersim::frontend
