// The bodies of the ATSC PSIP sections the reader uses (ATSC A/65): MGT, TVCT and STT.
// Each returns nullopt for a body whose loops do not fit it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SectionBytes.h"
#include "TsPacketView.h"  // kAtscBasePid

namespace talvex::tables {

inline constexpr std::uint8_t kMgtTableId = 0xC7;
inline constexpr std::uint8_t kTvctTableId = 0xC8;
inline constexpr std::uint8_t kSttTableId = 0xCD;

struct MgtTable {
    std::uint16_t type = 0;  // table_type: 0x0000 the current TVCT
    std::uint16_t pid = 0;
    std::uint8_t version = 0;
};
std::optional<std::vector<MgtTable>> ParseMgt(ByteReader body);

struct VirtualChannel {
    std::string shortName;  // UTF-8 of the UTF-16 short_name, up to its first 0x0000
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t transportStreamId = 0;
    std::uint16_t programNumber = 0;
    bool accessControlled = false;
    bool hidden = false;
    std::uint8_t serviceType = 0;
};
std::optional<std::vector<VirtualChannel>> ParseTvct(ByteReader body);

// UTC seconds of an STT body (GPS seconds less the GPS-UTC offset).
std::optional<std::int64_t> ParseStt(ByteReader body);

}  // namespace talvex::tables
