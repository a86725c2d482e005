// Tuning a simulated box through its bound filter's vendor properties, as a driver client
// does: the multiplex of the sky, the PID filter, a CA PMT to the module.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <vector>

#include "Sky.h"

namespace streamtest {

inline constexpr uint16_t kWholeStream = 0x2000;

// Sets the dish input (satellite) and tunes; S_OK or the first failure.
HRESULT TuneTo(IKsPropertySet* box, const tunersim::sky::Multiplex& m);
// The PID filter (kWholeStream passes everything).
HRESULT SetPids(IKsPropertySet* box, const tunersim::sky::Multiplex& m, const std::vector<uint16_t>& pids);
// A CA PMT of the service (list management "only"), ok_descrambling or not_selected.
HRESULT SendCaPmt(IKsPropertySet* box, const tunersim::sky::Multiplex& m, const tunersim::sky::Service& s,
                  bool descramble);

// The clean multiplexes (no lost blocks) of a family, largest useful bitrate first.
std::vector<const tunersim::sky::Multiplex*> CleanMultiplexes(bool satellite);

}  // namespace streamtest
