#include "DeliveryDescriptors.h"

#include "BroadcastTime.h"

namespace tunersim::stream::psi {
namespace {

using namespace frontend;

// FEC_inner of the satellite descriptor; 0 "not defined" for auto and unknown rates.
uint8_t SatelliteFec(uint8_t fec) {
    switch (fec) {
    case kFec1_2: return 1;
    case kFec2_3: return 2;
    case kFec3_4: return 3;
    case kFec5_6: return 4;
    case kFec7_8: return 5;
    case kFec8_9: return 6;
    case kFec3_5: return 7;
    case kFec4_5: return 8;
    case kFec9_10: return 9;
    default: return 0;
    }
}

// modulation_type: 0 auto, 1 QPSK, 2 8PSK, 3 16QAM.
uint8_t SatelliteModulation(uint8_t modulation) {
    switch (modulation) {
    case kQpsk: return 1;
    case k8psk: return 2;
    case kQam16: return 3;
    default: return 0;
    }
}

// The terrestrial fields have no "auto"; what the sky leaves open (or a value the field
// cannot say) takes the reserved code where there is one.
uint8_t TerrestrialBandwidth(uint8_t mhz) {
    switch (mhz) {
    case 8: return 0;
    case 7: return 1;
    case 6: return 2;
    case 5: return 3;
    default: return 7;
    }
}
uint8_t TerrestrialConstellation(uint8_t modulation) {
    switch (modulation) {
    case kQpsk: return 0;
    case kQam16: return 1;
    case kQam64: return 2;
    default: return 3;
    }
}
uint8_t TerrestrialCodeRate(uint8_t fec) {
    switch (fec) {
    case kFec1_2: return 0;
    case kFec2_3: return 1;
    case kFec3_4: return 2;
    case kFec5_6: return 3;
    case kFec7_8: return 4;
    default: return 7;
    }
}
// All four guard codes are intervals; an open one is sent as the shortest, 1/32.
uint8_t TerrestrialGuard(uint8_t guard) {
    switch (guard) {
    case kGuard1_16: return 1;
    case kGuard1_8: return 2;
    case kGuard1_4: return 3;
    default: return 0;
    }
}
uint8_t TerrestrialMode(uint8_t mode) {
    switch (mode) {
    case kMode2k: return 0;
    case kMode8k: return 1;
    default: return 3;
    }
}

}  // namespace

void PutSatelliteDeliveryDescriptor(Bytes& out, const sky::Multiplex& m, const sky::Network& network) {
    Put8(out, 0x43);
    Put8(out, 11);
    // 8 digits of 10 kHz (GHz with five decimals); 7 digits of 100 symbols/s.
    Put32(out, Bcd(m.frequencyKHz / 10 % 100000000, 8));
    Put16(out, Bcd(network.orbitalTenths % 10000u, 4));
    const bool s2 = m.system == sky::System::DvbS2;
    Put8(out, (network.east ? 0x80 : 0) | (m.polarisation & 0x03) << 5 | 0 << 3 | (s2 ? 0x04 : 0) |
                  SatelliteModulation(m.modulation));
    const uint32_t symbolRate = Bcd(m.symbolRate * 10 % 10000000, 7);
    Put32(out, symbolRate << 4 | SatelliteFec(m.fec));
}

void PutTerrestrialDeliveryDescriptor(Bytes& out, const sky::Multiplex& m) {
    Put8(out, 0x5A);
    Put8(out, 11);
    Put32(out, static_cast<uint32_t>(uint64_t{m.frequencyKHz} * 100 & 0xFFFFFFFF));
    // priority HP, no time slicing, no MPE-FEC, reserved.
    Put8(out, TerrestrialBandwidth(m.bandwidthMHz) << 5 | 0x1F);
    // constellation, hierarchy none, HP code rate; LP code rate (unused), guard, mode,
    // other_frequency_flag 0.
    Put8(out, TerrestrialConstellation(m.modulation) << 6 | 0 << 3 | TerrestrialCodeRate(m.fec));
    Put8(out, 0 << 5 | TerrestrialGuard(m.guard) << 3 | TerrestrialMode(m.mode) << 1 | 0);
    Put32(out, 0xFFFFFFFF);
}

void PutDeliveryDescriptor(Bytes& out, const sky::Multiplex& m, const sky::Network& network) {
    if (sky::IsSatellite(m))
        PutSatelliteDeliveryDescriptor(out, m, network);
    else if (m.system == sky::System::DvbT)
        PutTerrestrialDeliveryDescriptor(out, m);
}

}  // namespace tunersim::stream::psi
