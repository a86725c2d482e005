// The tuning and LNB records as this driver reads them off the wire (little-endian,
// packed; the layouts that OmbrelApi.h documents for applications), and the checks
// that make the driver refuse a request.
#pragma once

#include <cstdint>

namespace tunersim::frontend {

// Lengths of the records, by property.
inline constexpr uint32_t kTuneLength = 12;        // properties 0, 5, 25
inline constexpr uint32_t kPidsDvbsLength = 60;    // property 2
inline constexpr uint32_t kPidsDvbtLength = 56;    // property 6
inline constexpr uint32_t kLnbCommandLength = 25;  // property 12
inline constexpr uint32_t kLnbParametersLength = 42;  // properties 13, 14
inline constexpr uint32_t kStatusLength = 28;      // property 9
inline constexpr uint32_t kTuningFlagLength = 16;  // property 30

inline constexpr uint16_t kPidAll = 0x2000;
inline constexpr uint8_t kMaxDiseqcBytes = 16;

// Property 0 (downlink frequency) and property 25 (intermediate frequency) share this
// layout; only the QPSK request carries the tone.
struct SatelliteTune {
    uint32_t frequencyKHz;
    uint32_t symbolRate;
    uint8_t polarisation;
    uint8_t modulation;
    uint8_t fec;
    uint8_t tone;  // property 25: 0 off, 1 on; property 0: reserved
};

struct TerrestrialTune {
    uint32_t frequencyKHz;
    uint8_t bandwidthMHz;
    uint8_t modulation;
    uint8_t fec;
    uint8_t guard;
    uint8_t mode;
};

enum : uint8_t { kToneOff = 0, kToneOn = 1, kToneAuto = 2 };
enum : uint8_t { kVoltageOff = 0, kVoltage13 = 1, kVoltage18 = 2, kVoltageAuto = 3 };
enum : uint8_t { kBurstNone = 0, kBurstA = 1, kBurstB = 2 };

struct LnbParameters {
    uint32_t lofLowKHz;
    uint32_t lofHighKHz;  // 0: a single-band LNB
    uint32_t switchKHz;
    uint8_t tone;         // kTone*
    uint8_t voltage;      // kVoltage*
};

struct LnbCommand {
    uint8_t length;
    const uint8_t* message;  // into the record
    uint8_t burst;
};

SatelliteTune ReadSatelliteTune(const uint8_t* record);
TerrestrialTune ReadTerrestrialTune(const uint8_t* record);
LnbParameters ReadLnbParameters(const uint8_t* record);
LnbCommand ReadLnbCommand(const uint8_t* record);

// What a box starts with: a universal LNB, tone and voltage chosen per multiplex.
void WriteUniversalLnb(uint8_t* record);

// A PID list of `length` bytes (60 or 56): a 16-bit count, then the PIDs. Invalid when
// the count exceeds the room or a PID in use lies beyond kPidAll.
uint16_t PidCapacity(uint32_t length);
bool PidListValid(const uint8_t* record, uint32_t length);

bool SatelliteTuneValid(const SatelliteTune& tune, bool qpsk);
bool TerrestrialTuneValid(const TerrestrialTune& tune, bool atsc);
bool LnbParametersValid(const LnbParameters& parameters);
bool LnbCommandValid(const LnbCommand& command);

// The input of the dish switch that a command selects, or -1 when it selects none: a
// DiSEqC 1.0 committed-switch message (framing E0/E1, address 10..1F, command 38, data
// bit 2 = position, bit 3 = option), then a tone burst (A: input 0, B: input 1).
int SelectedInput(const LnbCommand& command);

uint32_t ReadLe32(const uint8_t* p);
uint16_t ReadLe16(const uint8_t* p);
void WriteLe32(uint8_t* p, uint32_t value);

}  // namespace tunersim::frontend
