// Cuts PES packets into transport stream packets of one PID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "TsPacket.h"

namespace tunersim::stream {

inline constexpr std::size_t kPacketPayload = kPacketSize - 4;

// How many TS packets PacketizePes makes of a PES packet of that size.
inline std::size_t PacketsForPes(std::size_t pesSize) { return (pesSize + kPacketPayload - 1) / kPacketPayload; }

// Appends the PES packet's TS packets to `out`: payload_unit_start_indicator on the
// first, the last one filled up with adaptation-field stuffing, continuity counters left
// 0 (the multiplexer stamps them). Allocates only when `out` must grow.
void PacketizePes(uint16_t pid, std::span<const uint8_t> pes, std::vector<Packet>& out);

}  // namespace tunersim::stream
