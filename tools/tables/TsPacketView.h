// The header fields of one 188-byte transport packet (ISO/IEC 13818-1 2.4.3.2) and where
// its payload lies, read without trusting any length in it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex::tables {

inline constexpr std::size_t kPacketSize = 188;
inline constexpr std::uint8_t kSyncByte = 0x47;
inline constexpr std::uint16_t kNullPid = 0x1FFF;

struct PacketView {
    bool valid = false;           // sync byte present and the adaptation field fits
    bool transportError = false;
    bool unitStart = false;       // payload_unit_start_indicator
    std::uint16_t pid = kNullPid;
    std::uint8_t continuity = 0;
    bool hasPayload = false;
    bool discontinuity = false;   // discontinuity_indicator of the adaptation field
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;
};

PacketView ReadPacket(const std::uint8_t* packet);

}  // namespace talvex::tables
