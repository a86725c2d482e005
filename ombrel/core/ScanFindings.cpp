#include "ScanFindings.h"

#include "StreamKinds.h"

#include "ScanPlan.h"

#include <algorithm>

namespace ombrel_cli {
namespace {

namespace tables = talvex::tables;

// EN 300 468 FEC_inner codes to the tuning records' numbering (which orders 3/5, 4/5
// and 8/9 differently); 0 and 15 (none) and reserved codes leave it to the front end.
std::uint8_t SatelliteFec(std::uint8_t code) {
    static constexpr std::uint8_t kMap[] = {0, 1, 2, 3, 4, 5, 8, 6, 7, 9};
    return code < std::size(kMap) ? kMap[code] : std::uint8_t{tuning::kFecAuto};
}

std::uint8_t SatelliteModulation(std::uint8_t code) {
    switch (code) {
    case 1: return tuning::kQpsk;
    case 2: return tuning::k8psk;
    default: return tuning::kModulationAuto;
    }
}

std::uint8_t TerrestrialModulation(std::uint8_t constellation) {
    switch (constellation) {
    case 0: return tuning::kQpsk;
    case 1: return tuning::kQam16;
    case 2: return tuning::kQam64;
    default: return tuning::kModulationAuto;
    }
}

// Code rates 1/2 .. 7/8 are 0..4 in the descriptor, 1..5 in the records.
std::uint8_t TerrestrialFec(std::uint8_t code) { return code <= 4 ? static_cast<std::uint8_t>(code + 1) : std::uint8_t{tuning::kFecAuto}; }
// Guard 1/32 .. 1/4 likewise; 2k and 8k are 0 and 1, 4k no Talvex tuner takes.
std::uint8_t Guard(std::uint8_t code) { return code <= 3 ? static_cast<std::uint8_t>(code + 1) : std::uint8_t{tuning::kGuardAuto}; }
std::uint8_t Mode(std::uint8_t code) { return code <= 1 ? static_cast<std::uint8_t>(code + 1) : std::uint8_t{tuning::kModeAuto}; }

std::optional<Delivery> DeliveryOf(const tables::Transport& t) {
    Delivery d;
    if (t.satellite) {
        const auto& s = *t.satellite;
        d.system = s.s2 ? DeliverySystem::DvbS2 : DeliverySystem::DvbS;
        d.frequencyKHz = s.frequencyKHz;
        d.polarisation = static_cast<std::uint8_t>(s.polarisation);
        d.symbolRate = s.symbolRate / 1000;
        d.modulation = SatelliteModulation(s.modulation);
        d.fec = SatelliteFec(s.fec);
        return d;
    }
    if (t.terrestrial) {
        const auto& s = *t.terrestrial;
        if (s.bandwidthMHz < 6 || s.bandwidthMHz > 8) return std::nullopt;
        d.system = DeliverySystem::DvbT;
        d.frequencyKHz = static_cast<std::uint32_t>(s.centreFrequencyHz / 1000);
        d.bandwidthMHz = s.bandwidthMHz;
        d.modulation = TerrestrialModulation(s.constellation);
        d.fec = TerrestrialFec(s.codeRateHp);
        d.guard = Guard(s.guard);
        d.mode = Mode(s.mode);
        return d;
    }
    return std::nullopt;
}

ScannedService ServiceFrom(const tables::Service& s, tables::Standard standard) {
    ScannedService out;
    out.id = s.id;
    out.name = s.name;
    out.provider = s.provider;
    out.scrambled = s.scrambled;
    out.caSystemIds = s.caSystemIds;
    for (const auto& es : s.streams) {
        const tables::StreamKind kind = tables::KindOf(es);
        if (kind == tables::StreamKind::Video) out.videoPids.push_back(es.pid);
        if (kind == tables::StreamKind::Audio) out.audioPids.push_back(es.pid);
    }
    out.kind = !out.videoPids.empty() ? ServiceKind::Television
               : !out.audioPids.empty() ? ServiceKind::Radio
                                        : ServiceKind::Other;
    if (standard == tables::Standard::Atsc && s.majorChannel) {
        out.virtualChannel = std::to_string(s.majorChannel) + "." + std::to_string(s.minorChannel);
    }
    return out;
}

}  // namespace

std::vector<Delivery> NetworkDeliveries(const tables::Multiplex& m) {
    std::vector<Delivery> deliveries;
    for (const auto& t : m.transports) {
        if (auto d = DeliveryOf(t)) deliveries.push_back(*d);
    }
    return deliveries;
}

ScannedMultiplex ScannedFrom(const tables::Multiplex& m, const Delivery& tuned, std::string label, std::string missing) {
    ScannedMultiplex out;
    out.delivery = tuned;
    for (const auto& t : m.transports) {
        if (t.transportStreamId != m.transportStreamId || (m.originalNetworkId && t.originalNetworkId != m.originalNetworkId))
            continue;
        if (auto own = DeliveryOf(t); own && SameMultiplex(*own, tuned)) {
            own->satelliteNumber = tuned.satelliteNumber;
            out.delivery = *own;
        }
    }
    out.label = std::move(label);
    out.transportStreamId = m.transportStreamId;
    out.originalNetworkId = m.originalNetworkId;
    if (m.networkId || !m.transports.empty()) out.networkId = m.networkId;
    out.networkName = m.networkName;
    for (const auto& s : m.services) out.services.push_back(ServiceFrom(s, m.standard));
    out.missing = std::move(missing);
    return out;
}

}  // namespace ombrel_cli
