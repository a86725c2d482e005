// The NIT's delivery system descriptors (EN 300 468 6.2.13): where and how a multiplex
// is received, from the sky's front-end parameters.
#pragma once

#include "Bytes.h"
#include "Sky.h"

namespace tunersim::stream::psi {

// satellite_delivery_system_descriptor (0x43): BCD frequency and symbol rate, the
// network's orbital position, polarisation, roll-off 0.35, DVB-S or S2, modulation, FEC.
void PutSatelliteDeliveryDescriptor(Bytes& out, const sky::Multiplex& m, const sky::Network& network);
// terrestrial_delivery_system_descriptor (0x5A): centre frequency in 10 Hz, bandwidth,
// constellation, code rate, guard interval, transmission mode; non-hierarchical.
void PutTerrestrialDeliveryDescriptor(Bytes& out, const sky::Multiplex& m);
// The one that fits the multiplex's system; nothing for ATSC, which has no NIT.
void PutDeliveryDescriptor(Bytes& out, const sky::Multiplex& m, const sky::Network& network);

}  // namespace tunersim::stream::psi
