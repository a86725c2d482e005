// The bodies of PAT and PMT sections (ISO/IEC 13818-1 2.4.4.3, 2.4.4.8). Each returns
// nullopt for a body whose loops do not fit it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "MultiplexTables.h"
#include "SectionBytes.h"

namespace talvex::tables {

inline constexpr std::uint8_t kPatTableId = 0x00;
inline constexpr std::uint8_t kPmtTableId = 0x02;

struct PatEntry {
    std::uint16_t program = 0;  // 0: the entry names the network PID
    std::uint16_t pid = 0;
};
std::optional<std::vector<PatEntry>> ParsePat(ByteReader body);

struct PmtContent {
    std::uint16_t pcrPid = 0x1FFF;
    std::vector<CaDescriptor> ca;          // program level
    std::vector<ElementaryStream> streams;
};
std::optional<PmtContent> ParsePmt(ByteReader body);

// A CA_descriptor's payload (system id, ECM PID); nullopt if shorter than 4 bytes.
std::optional<CaDescriptor> ParseCaDescriptor(ByteReader payload);

}  // namespace talvex::tables
