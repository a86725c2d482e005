#include "MultiplexTables.h"

namespace talvex::tables {

namespace {

template <std::size_t N>
const char* Pick(const char* const (&names)[N], std::uint8_t code) {
    return code < N && names[code] ? names[code] : "auto";
}

}  // namespace

const char* SatelliteModulationName(std::uint8_t modulation) {
    static const char* const kNames[] = {"auto", "QPSK", "8PSK", "16QAM"};
    return Pick(kNames, modulation);
}

const char* SatelliteFecName(std::uint8_t fec) {
    static const char* const kNames[] = {nullptr, "1/2", "2/3", "3/4", "5/6", "7/8", "8/9", "3/5",
                                         "4/5",   "9/10", nullptr, nullptr, nullptr, nullptr, nullptr, "none"};
    return Pick(kNames, fec);
}

const char* TerrestrialConstellationName(std::uint8_t constellation) {
    static const char* const kNames[] = {"QPSK", "16QAM", "64QAM"};
    return Pick(kNames, constellation);
}

const char* TerrestrialCodeRateName(std::uint8_t codeRate) {
    static const char* const kNames[] = {"1/2", "2/3", "3/4", "5/6", "7/8"};
    return Pick(kNames, codeRate);
}

const char* GuardIntervalName(std::uint8_t guard) {
    static const char* const kNames[] = {"1/32", "1/16", "1/8", "1/4"};
    return Pick(kNames, guard);
}

const char* TransmissionModeName(std::uint8_t mode) {
    static const char* const kNames[] = {"2k", "8k", "4k"};
    return Pick(kNames, mode);
}

}  // namespace talvex::tables
