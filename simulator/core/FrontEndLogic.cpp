#include "FrontEndLogic.h"

#include <cstring>

#include "FrontEndRecords.h"

namespace tunersim::frontend {

namespace {

using layout::FrontEndState;
using layout::TuneKind;
using property::Answer;
using property::Outcome;

// Property numbers (the driver's own table).
constexpr unsigned kSelectMultiplexDvbs = 0;
constexpr unsigned kSelectPidsDvbs = 2;
constexpr unsigned kSelectMultiplexDvbt = 5;
constexpr unsigned kSelectPidsDvbt = 6;
constexpr unsigned kFrontendStatus = 9;
constexpr unsigned kLnbCommand = 12;
constexpr unsigned kGetLnbParameters = 13;
constexpr unsigned kSetLnbParameters = 14;
constexpr unsigned kPowerState = 15;
constexpr unsigned kAutoTune = 16;
constexpr unsigned kTuneQpsk = 25;
constexpr unsigned kTuningFlag = 30;

enum class Needs { Any, Satellite, Terrestrial };

struct Served {
    unsigned property;
    bool set;
    uint32_t length;
    Needs needs;
};

constexpr Served kServed[] = {
    {kSelectMultiplexDvbs, true, kTuneLength, Needs::Satellite},
    {kSelectPidsDvbs, true, kPidsDvbsLength, Needs::Satellite},
    {kSelectMultiplexDvbt, true, kTuneLength, Needs::Terrestrial},
    {kSelectPidsDvbt, true, kPidsDvbtLength, Needs::Terrestrial},
    {kFrontendStatus, false, kStatusLength, Needs::Any},
    {kLnbCommand, true, kLnbCommandLength, Needs::Satellite},
    {kGetLnbParameters, false, kLnbParametersLength, Needs::Satellite},
    {kSetLnbParameters, true, kLnbParametersLength, Needs::Satellite},
    {kPowerState, true, 1, Needs::Any},
    {kAutoTune, true, 1, Needs::Any},
    {kTuneQpsk, true, kTuneLength, Needs::Satellite},
    {kTuningFlag, false, kTuningFlagLength, Needs::Any},
};

// Signal strength that the tuner reads with no carrier: the noise of the input.
constexpr uint32_t kNoiseFloor = 9;
// Bytes 4 to 7 of the tuning-flag reply only align the 64-bit value; this driver
// leaves its mark there.
constexpr uint8_t kAlignmentFill = 0xA5;

const Served* Find(unsigned property, bool set) {
    for (const auto& s : kServed) {
        if (s.property == property && s.set == set) return &s;
    }
    return nullptr;
}

bool Receives(Family family, Needs needs) {
    switch (needs) {
    case Needs::Any: return true;
    case Needs::Satellite: return family == Family::Satellite;
    case Needs::Terrestrial: return family == Family::Terrestrial || family == Family::Atsc;
    }
    return false;
}

uint8_t VoltageFor(uint8_t polarisation) {
    return polarisation == kVertical || polarisation == kCircularRight ? 13 : 18;
}

// How the driver drives the LNB for a multiplex given by its downlink frequency.
SatelliteSignal FromMultiplex(const SatelliteTune& t, const LnbParameters& lnb, uint8_t input) {
    SatelliteSignal s;
    s.input = input;
    s.tone = lnb.tone == kToneOn ||
             (lnb.tone == kToneAuto && lnb.lofHighKHz != 0 && t.frequencyKHz >= lnb.switchKHz);
    const uint32_t lo = s.tone ? lnb.lofHighKHz : lnb.lofLowKHz;
    s.ifKHz = t.frequencyKHz > lo ? t.frequencyKHz - lo : lo - t.frequencyKHz;
    switch (lnb.voltage) {
    case kVoltageOff: s.voltage = 0; break;
    case kVoltage13: s.voltage = 13; break;
    case kVoltage18: s.voltage = 18; break;
    default: s.voltage = VoltageFor(t.polarisation); break;
    }
    s.symbolRate = t.symbolRate;
    s.modulation = t.modulation;
    s.fec = t.fec;
    return s;
}

// A carrier by its intermediate frequency: the request sets tone and voltage itself.
SatelliteSignal FromQpsk(const SatelliteTune& t, uint8_t input) {
    SatelliteSignal s;
    s.input = input;
    s.tone = t.tone == kToneOn;
    s.ifKHz = t.frequencyKHz;
    s.voltage = VoltageFor(t.polarisation);
    s.symbolRate = t.symbolRate;
    s.modulation = t.modulation;
    s.fec = t.fec;
    return s;
}

bool InIfBand(uint32_t ifKHz) { return ifKHz >= kIfMinKHz && ifKHz <= kIfMaxKHz; }

Reception ReceiveLastTune(const FrontEndState& state, Family family) {
    const uint8_t input = state.input;
    switch (state.tuneKind) {
    case TuneKind::Satellite:
        if (family != Family::Satellite) return {};
        return Receive(FromMultiplex(ReadSatelliteTune(state.tune),
                                     ReadLnbParameters(state.lnbParameters), input));
    case TuneKind::Qpsk:
        if (family != Family::Satellite) return {};
        return Receive(FromQpsk(ReadSatelliteTune(state.tune), input));
    case TuneKind::Terrestrial: {
        if (family != Family::Terrestrial && family != Family::Atsc) return {};
        const TerrestrialTune t = ReadTerrestrialTune(state.tune);
        TerrestrialSignal s;
        s.frequencyKHz = t.frequencyKHz;
        s.bandwidthMHz = t.bandwidthMHz;
        s.modulation = t.modulation;
        s.fec = t.fec;
        s.guard = t.guard;
        s.mode = t.mode;
        s.atscReceiver = family == Family::Atsc;
        return Receive(s);
    }
    case TuneKind::None: break;
    }
    return {};
}

void Resettle(FrontEndState& state, int64_t nowMs) { state.settleFromMs = nowMs; }

void Tune(FrontEndState& state, TuneKind kind, const uint8_t* record, int64_t nowMs) {
    state.tuneKind = kind;
    std::memcpy(state.tune, record, kTuneLength);
    state.tuning = 1;
    ++state.tunes;
    Resettle(state, nowMs);
}

Outcome SetPower(FrontEndState& state, uint8_t power, int64_t nowMs) {
    if (power > 1) return Outcome::Rejected;
    const bool comesOn = power == 1 && state.power == 0;
    state.power = power;
    if (power == 0) state.tuning = 0;
    if (comesOn) {
        if (state.autoTune && state.tuneKind != TuneKind::None) state.tuning = 1;
        Resettle(state, nowMs);
    }
    return Outcome::Ok;
}

Outcome SetPids(FrontEndState& state, const uint8_t* record, uint32_t length) {
    if (!PidListValid(record, length)) return Outcome::Rejected;
    state.pidCount = ReadLe16(record);
    std::memset(state.pids, 0, sizeof state.pids);
    for (uint16_t i = 0; i < state.pidCount; ++i) state.pids[i] = ReadLe16(record + 2 + 2 * i);
    return Outcome::Ok;
}

Outcome SelectSatellite(FrontEndState& state, const uint8_t* record, int64_t nowMs) {
    const SatelliteTune t = ReadSatelliteTune(record);
    const LnbParameters lnb = ReadLnbParameters(state.lnbParameters);
    if (!SatelliteTuneValid(t, false) || !InIfBand(FromMultiplex(t, lnb, 0).ifKHz))
        return Outcome::Rejected;
    Tune(state, TuneKind::Satellite, record, nowMs);
    return Outcome::Ok;
}

Outcome TuneQpsk(FrontEndState& state, const uint8_t* record, int64_t nowMs) {
    const SatelliteTune t = ReadSatelliteTune(record);
    if (!SatelliteTuneValid(t, true) || !InIfBand(t.frequencyKHz)) return Outcome::Rejected;
    Tune(state, TuneKind::Qpsk, record, nowMs);
    return Outcome::Ok;
}

Outcome SelectTerrestrial(FrontEndState& state, Family family, const uint8_t* record,
                          int64_t nowMs) {
    if (!TerrestrialTuneValid(ReadTerrestrialTune(record), family == Family::Atsc))
        return Outcome::Rejected;
    Tune(state, TuneKind::Terrestrial, record, nowMs);
    return Outcome::Ok;
}

Outcome SendLnbCommand(FrontEndState& state, const uint8_t* record, int64_t nowMs) {
    const LnbCommand command = ReadLnbCommand(record);
    if (!LnbCommandValid(command)) return Outcome::Rejected;
    const int input = SelectedInput(command);
    if (input >= 0) state.input = static_cast<uint8_t>(input);
    Resettle(state, nowMs);
    return Outcome::Ok;
}

Outcome SetLnbParameters(FrontEndState& state, const uint8_t* record, int64_t nowMs) {
    if (!LnbParametersValid(ReadLnbParameters(record))) return Outcome::Rejected;
    std::memcpy(state.lnbParameters, record, kLnbParametersLength);
    Resettle(state, nowMs);
    return Outcome::Ok;
}

Outcome SetAutoTune(FrontEndState& state, uint8_t flag) {
    if (flag > 1) return Outcome::Rejected;
    state.autoTune = flag;
    return Outcome::Ok;
}

Outcome Apply(FrontEndState& state, Family family, unsigned property, const uint8_t* data,
              uint32_t length, int64_t nowMs) {
    switch (property) {
    case kSelectMultiplexDvbs: return SelectSatellite(state, data, nowMs);
    case kTuneQpsk: return TuneQpsk(state, data, nowMs);
    case kSelectMultiplexDvbt: return SelectTerrestrial(state, family, data, nowMs);
    case kSelectPidsDvbs:
    case kSelectPidsDvbt: return SetPids(state, data, length);
    case kLnbCommand: return SendLnbCommand(state, data, nowMs);
    case kSetLnbParameters: return SetLnbParameters(state, data, nowMs);
    case kPowerState: return SetPower(state, data[0], nowMs);
    case kAutoTune: return SetAutoTune(state, data[0]);
    default: return Outcome::Unsupported;
    }
}

void WriteStatus(const Reading& r, uint8_t* out) {
    const uint32_t fields[] = {r.reception.locked ? 1u : 0u, r.reception.carrier ? 1u : 0u,
                               r.strength, r.quality, r.bitErrorRate, r.lostBlocks, r.snrTenthsDb};
    for (std::size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i)
        WriteLe32(out + 4 * i, fields[i]);
}

void WriteTuningFlag(const Reading& r, uint8_t* out) {
    WriteLe32(out, static_cast<uint32_t>(r.flag));
    std::memset(out + 4, kAlignmentFill, 4);
    const uint64_t hz = r.flag == kFlagLocked ? r.reception.frequencyHz : 0;
    WriteLe32(out + 8, static_cast<uint32_t>(hz));
    WriteLe32(out + 12, static_cast<uint32_t>(hz >> 32));
}

// Checks that apply to every request of the front end, in the order a driver makes them.
Outcome Admissible(const Served* served, Family family, const void* data, uint32_t length) {
    if (!Receives(family, served->needs)) return Outcome::Unsupported;
    if (length != served->length) return Outcome::BadLength;
    if (!data) return Outcome::BadBuffer;
    return Outcome::Ok;
}

}  // namespace

void Init(FrontEndState& state) {
    std::memset(&state, 0, sizeof state);
    state.settleMs = layout::kDefaultSettleMs;
    state.power = 1;
    state.autoTune = 1;
    WriteUniversalLnb(state.lnbParameters);
    // The PID filter starts open: a box that was never given a list passes its whole stream.
    state.pidCount = 1;
    state.pids[0] = kPidAll;
}

bool Serves(unsigned property, bool set) { return Find(property, set) != nullptr; }

Answer Set(layout::DeviceRecord& device, unsigned property, const uint8_t* data,
           uint32_t length, int64_t nowMs) {
    const Served* served = Find(property, true);
    if (!served) return {Outcome::Unsupported, 0};
    const Family family = FamilyOf(device.productLine, device.modelCode);
    if (Outcome o = Admissible(served, family, data, length); o != Outcome::Ok) return {o, 0};
    return {Apply(device.frontEnd, family, property, data, length, nowMs), 0};
}

Answer Get(const layout::DeviceRecord& device, unsigned property, uint8_t* data,
           uint32_t length, int64_t nowMs) {
    const Served* served = Find(property, false);
    if (!served) return {Outcome::Unsupported, 0};
    const Family family = FamilyOf(device.productLine, device.modelCode);
    if (Outcome o = Admissible(served, family, data, length); o != Outcome::Ok) return {o, 0};
    switch (property) {
    case kFrontendStatus:
        WriteStatus(Read(device, nowMs), data);
        break;
    case kTuningFlag:
        WriteTuningFlag(Read(device, nowMs), data);
        break;
    case kGetLnbParameters:
        std::memcpy(data, device.frontEnd.lnbParameters, kLnbParametersLength);
        break;
    }
    return {Outcome::Ok, length};
}

Reading Read(const layout::DeviceRecord& device, int64_t nowMs) {
    const FrontEndState& state = device.frontEnd;
    const Family family = FamilyOf(device.productLine, device.modelCode);
    Reading r;
    if (!state.power || !state.tuning) return r;
    const int64_t settledAt = state.settleFromMs + state.settleMs;
    if (nowMs < settledAt) {
        r.settling = true;
        return r;
    }
    r.reception = ReceiveLastTune(state, family);
    const Reception& found = r.reception;
    r.flag = found.locked ? kFlagLocked : kFlagNoSignal;
    r.strength = found.carrier ? found.figures.strength : kNoiseFloor;
    if (found.carrier) r.snrTenthsDb = found.figures.snrTenthsDb;
    if (found.locked) {
        r.quality = found.figures.quality;
        r.bitErrorRate = found.figures.bitErrorRate;
        const uint64_t lockedMs = static_cast<uint64_t>(nowMs - settledAt);
        r.lostBlocks = static_cast<uint32_t>(lockedMs * found.figures.lostBlocksPerMinute / 60000);
    }
    return r;
}

}  // namespace tunersim::frontend
