// Transport stream packets (ISO/IEC 13818-1 2.4.3): the fixed facts and the header.
// Packetizers write packets with continuity counter 0; the multiplexer that emits them
// owns each PID's counter and stamps it (StampContinuity).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tunersim::stream {

inline constexpr std::size_t kPacketSize = 188;
inline constexpr uint8_t kSyncByte = 0x47;
inline constexpr uint16_t kPatPid = 0x0000;
inline constexpr uint16_t kNitPid = 0x0010;
inline constexpr uint16_t kSdtPid = 0x0011;
inline constexpr uint16_t kEitPid = 0x0012;
inline constexpr uint16_t kTdtPid = 0x0014;        // TDT and TOT
inline constexpr uint16_t kAtscBasePid = 0x1FFB;   // MGT, TVCT, STT
inline constexpr uint16_t kNullPid = 0x1FFF;

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
