// The fixed facts of transport packets and the PIDs the standards fix (ISO/IEC 13818-1,
// EN 300 468 5.1.3, A/65 6.1), for the simulator that writes streams and the reader alike;
// and the header fields of one 188-byte packet (2.4.3.2) and where its payload lies, read
// without trusting any length in it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex::tables {

inline constexpr std::size_t kPacketSize = 188;
inline constexpr std::uint8_t kSyncByte = 0x47;
inline constexpr std::uint16_t kPatPid = 0x0000;
inline constexpr std::uint16_t kNitPid = 0x0010;       // unless the PAT names another
inline constexpr std::uint16_t kSdtPid = 0x0011;
inline constexpr std::uint16_t kEitPid = 0x0012;
inline constexpr std::uint16_t kTdtPid = 0x0014;       // TDT and TOT
inline constexpr std::uint16_t kAtscBasePid = 0x1FFB;  // MGT, TVCT, STT
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
