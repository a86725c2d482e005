// The simulated sky: what a box's antenna receives. Two satellites behind a DiSEqC 1.0
// switch (inputs A and B) with one universal LNB each (9750/10600 MHz oscillators, the
// 22 kHz tone selects the high band, 13 V vertical, 18 V horizontal), and a handful of
// terrestrial channels. Which models receive what follows from the identification bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tunersim::frontend {

enum class Family { None, Satellite, Terrestrial, Atsc };

// The model's reception family, from product line and model code.
Family FamilyOf(uint8_t productLine, uint8_t modelCode);
const char* FamilyName(Family family);

// Record values, as the driver numbers them.
enum : uint8_t { kHorizontal = 0, kVertical = 1, kCircularLeft = 2, kCircularRight = 3 };
enum : uint8_t { kModulationAuto = 0, kQpsk = 1, k8psk = 2, kQam16 = 3, kQam64 = 4, k8vsb = 5 };
enum : uint8_t { kFecAuto = 0, kFec1_2, kFec2_3, kFec3_4, kFec5_6, kFec7_8, kFec3_5, kFec4_5, kFec8_9, kFec9_10 };
enum : uint8_t { kGuardAuto = 0, kGuard1_32, kGuard1_16, kGuard1_8, kGuard1_4 };
enum : uint8_t { kModeAuto = 0, kMode2k, kMode8k };

inline constexpr uint32_t kIfMinKHz = 950000;
inline constexpr uint32_t kIfMaxKHz = 2150000;
inline constexpr uint32_t kLnbLowOscillatorKHz = 9750000;
inline constexpr uint32_t kLnbHighOscillatorKHz = 10600000;

// What the tuner asks of the dish: an input of the switch, the LNB's supply, and a
// carrier at an intermediate frequency.
struct SatelliteSignal {
    uint8_t input = 0;         // 0..3
    uint8_t voltage = 0;       // 0 (LNB unpowered), 13 or 18
    bool tone = false;         // 22 kHz: the LNB's high band
    uint32_t ifKHz = 0;
    uint32_t symbolRate = 0;   // kilosymbols per second
    uint8_t modulation = kModulationAuto;
    uint8_t fec = kFecAuto;
};

struct TerrestrialSignal {
    uint32_t frequencyKHz = 0;
    uint8_t bandwidthMHz = 0;
    uint8_t modulation = kModulationAuto;
    uint8_t fec = kFecAuto;
    uint8_t guard = kGuardAuto;
    uint8_t mode = kModeAuto;
    bool atscReceiver = false;  // an ATSC box demodulates 8VSB only, a DVB-T box COFDM only
};

// Signal figures of a multiplex in the sky.
struct Figures {
    uint32_t strength;          // percent
    uint32_t quality;           // percent
    uint32_t snrTenthsDb;
    uint32_t bitErrorRate;      // per 10^8 bits
    uint32_t lostBlocksPerMinute;
};

// What the front end finds.
struct Reception {
    bool carrier = false;        // a carrier at the frequency (and polarisation)
    bool locked = false;         // the parameters fit it too
    uint64_t frequencyHz = 0;    // the carrier's own frequency
    Figures figures{};           // of the carrier found
    const char* name = nullptr;  // of the multiplex found
    int multiplex = -1;          // its index in sky::Multiplexes()
};

Reception Receive(const SatelliteSignal& signal);
Reception Receive(const TerrestrialSignal& signal);

// One line per multiplex, for people.
std::vector<std::string> DescribeSky();

}  // namespace tunersim::frontend
