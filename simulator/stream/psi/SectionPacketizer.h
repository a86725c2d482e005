// Sections into transport stream packets (ISO/IEC 13818-1 2.4.4.1-2).
#pragma once

#include <cstdint>
#include <vector>

#include "Section.h"
#include "TsPacket.h"

namespace tunersim::stream::psi {

// Cuts the sections into 188-byte TS packets of one PID, back to back: a packet in which
// a section begins has payload_unit_start_indicator set and a pointer_field to that
// section; the last packet is filled with 0xFF. Continuity counters are left 0: the
// multiplexer stamps them when it emits.
void PacketizeSections(uint16_t pid, const std::vector<Section>& sections, std::vector<Packet>& out);

}  // namespace tunersim::stream::psi
