#include "BoxTuning.h"

#include <algorithm>
#include <cstring>

#include "psi/Tables.h"

namespace streamtest {
namespace {

const GUID kVendorSet = {0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}};

HRESULT Set(IKsPropertySet* box, DWORD id, void* data, DWORD length) {
    return box->Set(kVendorSet, id, data, length, data, length);
}

void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

HRESULT TuneTo(IKsPropertySet* box, const tunersim::sky::Multiplex& m) {
    uint8_t tune[12] = {};
    Put32(tune, m.frequencyKHz);
    if (tunersim::sky::IsSatellite(m)) {
        uint8_t diseqc[25] = {4, 0xE0, 0x10, 0x38, static_cast<uint8_t>(0xF0 | m.input << 2)};
        const HRESULT hr = Set(box, 12, diseqc, sizeof diseqc);
        if (FAILED(hr)) return hr;
        Put32(tune + 4, m.symbolRate);
        tune[8] = m.polarisation;
        return Set(box, 0, tune, sizeof tune);
    }
    tune[4] = m.bandwidthMHz;
    return Set(box, 5, tune, sizeof tune);
}

HRESULT SetPids(IKsPropertySet* box, const tunersim::sky::Multiplex& m, const std::vector<uint16_t>& pids) {
    const bool satellite = tunersim::sky::IsSatellite(m);
    uint8_t list[60] = {};
    const std::size_t most = satellite ? 29 : 27;
    if (pids.size() > most) return E_INVALIDARG;
    const uint16_t count = static_cast<uint16_t>(pids.size());
    std::memcpy(list, &count, 2);
    std::memcpy(list + 2, pids.data(), pids.size() * 2);
    return Set(box, satellite ? 2 : 6, list, satellite ? 60 : 56);
}

HRESULT SendCaPmt(IKsPropertySet* box, const tunersim::sky::Multiplex& m, const tunersim::sky::Service& s,
                  bool descramble) {
    const std::vector<uint8_t> pmt = tunersim::stream::psi::Pmt(m, s).front();
    uint8_t message[1036] = {};
    message[1] = 2;  // CA PMT
    const uint16_t length = static_cast<uint16_t>(pmt.size() + 2);
    std::memcpy(message + 8, &length, 2);
    message[10] = 3;                     // only
    message[11] = descramble ? 1 : 4;    // ok_descrambling, not_selected
    std::memcpy(message + 12, pmt.data(), pmt.size());
    return Set(box, 22, message, sizeof message);
}

std::vector<const tunersim::sky::Multiplex*> CleanMultiplexes(bool satellite) {
    std::vector<const tunersim::sky::Multiplex*> found;
    for (const auto& m : tunersim::sky::Multiplexes())
        if (tunersim::sky::IsSatellite(m) == satellite && m.figures.lostBlocksPerMinute == 0) found.push_back(&m);
    std::stable_sort(found.begin(), found.end(), [](auto* a, auto* b) {
        return tunersim::sky::UsefulBitrate(*a) > tunersim::sky::UsefulBitrate(*b);
    });
    return found;
}

}  // namespace streamtest
