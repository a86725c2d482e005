#include "TuningView.h"

#include <cstdarg>
#include <cstdio>

#include "FrontEndRecords.h"
#include "FrontEndSky.h"

namespace tunersim {

namespace {

using namespace frontend;

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

const char* PolarisationText(uint8_t p) {
    constexpr const char* kNames[] = {"H", "V", "L", "R"};
    return p < 4 ? kNames[p] : "?";
}

const char* ModulationText(uint8_t m) {
    constexpr const char* kNames[] = {"auto", "QPSK", "8PSK", "QAM16", "QAM64", "8VSB"};
    return m < 6 ? kNames[m] : "?";
}

const char* FecText(uint8_t f) {
    constexpr const char* kNames[] = {"auto", "1/2", "2/3", "3/4", "5/6",
                                      "7/8",  "3/5", "4/5", "8/9", "9/10"};
    return f < 10 ? kNames[f] : "?";
}

std::string TuneText(const TuningState& s) {
    if (s.lastTune.size() != kTuneLength) return "none";
    const uint8_t* r = s.lastTune.data();
    if (s.lastTuneProperty == 5) {
        const TerrestrialTune t = ReadTerrestrialTune(r);
        return Format("set 5  %u kHz  %u MHz  %s  FEC %s  guard %u  mode %u", t.frequencyKHz,
                      t.bandwidthMHz, ModulationText(t.modulation), FecText(t.fec), t.guard, t.mode);
    }
    const SatelliteTune t = ReadSatelliteTune(r);
    std::string text = Format("set %u  %u kHz  %u kS/s  %s  %s  FEC %s", s.lastTuneProperty,
                              t.frequencyKHz, t.symbolRate, PolarisationText(t.polarisation),
                              ModulationText(t.modulation), FecText(t.fec));
    if (s.lastTuneProperty == 25) text += Format("  tone %s", OnOff(t.tone == kToneOn));
    return text;
}

std::string LnbText(const std::vector<uint8_t>& record) {
    if (record.size() != kLnbParametersLength) return "?";
    const LnbParameters p = ReadLnbParameters(record.data());
    constexpr const char* kTones[] = {"off", "on", "auto"};
    constexpr const char* kVoltages[] = {"off", "13 V", "18 V", "auto"};
    return Format("LOF %u/%u kHz  switch %u kHz  tone %s  voltage %s", p.lofLowKHz, p.lofHighKHz,
                  p.switchKHz, p.tone < 3 ? kTones[p.tone] : "?",
                  p.voltage < 4 ? kVoltages[p.voltage] : "?");
}

std::string ReadingText(const TuningState& s) {
    if (!s.powered) return "powered off";
    if (s.settling) return "settling";
    if (s.flag == 0) return "idle";
    std::string text = s.locked ? "locked" : s.carrier ? "carrier, no lock" : "no signal";
    if (!s.multiplex.empty())
        text += Format("  \"%s\" %llu Hz", s.multiplex.c_str(),
                       static_cast<unsigned long long>(s.frequencyHz));
    text += Format("  strength %u %%  quality %u %%  BER %u/1e8  lost blocks %u  S/N %u.%u dB",
                   s.strength, s.quality, s.bitErrorRate, s.lostBlocks, s.snrTenthsDb / 10,
                   s.snrTenthsDb % 10);
    return text;
}

}  // namespace

std::string DescribeTuning(const TuningState& s) {
    const bool satellite = s.family == frontend::FamilyName(frontend::Family::Satellite);
    std::string text = Format("%s  power %s  auto-tune %s", s.family.c_str(), OnOff(s.powered),
                              OnOff(s.autoTune));
    if (satellite) text += Format("  input %c", 'A' + static_cast<char>(s.input));
    text += Format("  settle %u ms\n", s.settleMs);
    text += "  last tune: " + TuneText(s) + Format("  (tunes: %u)\n", s.tunes);
    if (satellite) text += "  LNB: " + LnbText(s.lnbParameters) + "\n";
    text += "  PIDs:";
    if (s.pids.empty()) text += " none";
    for (uint16_t pid : s.pids) text += Format(" 0x%04X", pid);
    text += "\n  " + ReadingText(s) + "\n";
    return text;
}

std::string DescribeRequest(const LastRequest& request) {
    std::string text = Format("length %u", request.length);
    if (!request.bytes.empty()) text += ": " + HexBytes(request.bytes);
    return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) text += Format(i ? " %02X" : "%02X", bytes[i]);
    return text;
}

}  // namespace tunersim
