// Transport stream packets (ISO/IEC 13818-1 2.4.3): the fixed facts and the header.
// Packetizers write packets with continuity counter 0; the multiplexer that emits them
// owns each PID's counter and stamps it (StampContinuity).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "TsPacketView.h"

namespace tunersim::stream {

// The fixed facts, as the table reader has them.
using talvex::tables::kAtscBasePid;
using talvex::tables::kEitPid;
using talvex::tables::kNitPid;
using talvex::tables::kNullPid;
using talvex::tables::kPacketSize;
using talvex::tables::kPatPid;
using talvex::tables::kSdtPid;
using talvex::tables::kSyncByte;
using talvex::tables::kTdtPid;

using Packet = std::array<uint8_t, kPacketSize>;

// adaptation_field_control values.
enum : uint8_t { kPayloadOnly = 1, kAdaptationOnly = 2, kAdaptationAndPayload = 3 };

inline void WriteHeader(uint8_t* p, uint16_t pid, bool unitStart, uint8_t adaptationControl) {
    p[0] = kSyncByte;
    p[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | (pid >> 8 & 0x1F));
    p[2] = static_cast<uint8_t>(pid);
    p[3] = static_cast<uint8_t>(adaptationControl << 4);
}

inline uint16_t PidOf(const uint8_t* p) { return static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]); }
inline bool HasPayload(const uint8_t* p) { return (p[3] & 0x10) != 0; }
inline void StampContinuity(uint8_t* p, uint8_t counter) {
    p[3] = static_cast<uint8_t>((p[3] & 0xF0) | (counter & 0x0F));
}

}  // namespace tunersim::stream
