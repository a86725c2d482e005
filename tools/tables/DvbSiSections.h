// The bodies of the DVB SI sections the reader uses (ETSI EN 300 468): SDT, NIT and EIT
// present/following actual, TDT and TOT. Each returns nullopt for a body whose loops do
// not fit it; texts come out as UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "MultiplexTables.h"
#include "SectionBytes.h"

namespace talvex::tables {

inline constexpr std::uint8_t kNitActualTableId = 0x40;
inline constexpr std::uint8_t kSdtActualTableId = 0x42;
inline constexpr std::uint8_t kEitPresentFollowingActualTableId = 0x4E;
inline constexpr std::uint8_t kTdtTableId = 0x70;
inline constexpr std::uint8_t kTotTableId = 0x73;

struct SdtEntry {
    std::uint16_t serviceId = 0;
    bool eitPresentFollowing = false;  // EIT_present_following_flag
    std::uint8_t runningStatus = 0;
    bool freeCaMode = false;
    std::uint8_t type = 0;
    std::string provider;
    std::string name;
};
struct SdtContent {
    std::uint16_t originalNetworkId = 0;
    std::vector<SdtEntry> services;
};
std::optional<SdtContent> ParseSdt(ByteReader body);

struct NitContent {
    std::string networkName;  // empty without a network_name_descriptor
    std::vector<Transport> transports;
};
std::optional<NitContent> ParseNit(ByteReader body);

struct EitContent {
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;
    std::vector<Event> events;  // p/f: at most one per section
};
std::optional<EitContent> ParseEit(ByteReader body);

// The UTC time of a TDT or TOT section (whole, table_id first); nullopt for other tables
// or a malformed time.
std::optional<std::int64_t> ParseDvbTime(const std::uint8_t* section, std::size_t size);

// The delivery descriptors' payloads (nullopt when shorter than 11 bytes or not BCD).
std::optional<SatelliteDelivery> ParseSatelliteDelivery(ByteReader payload);
std::optional<TerrestrialDelivery> ParseTerrestrialDelivery(ByteReader payload);

}  // namespace talvex::tables
