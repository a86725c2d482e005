// Reads a multiplex's tables from its packets: PAT, every PMT the PAT names, SDT actual
// (DVB) or MGT and TVCT (ATSC), and on request NIT actual and EIT present/following of
// every service. Plain C++: whoever receives the packets feeds them here and asks
// Complete() after each batch, so that a scan waits only as long as the tables need.
// Inputs are untrusted: damaged packets and sections are counted and dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "MultiplexTables.h"

namespace talvex::tables {

// What Complete() waits for beyond PAT, PMTs and the service table.
struct Needs {
    bool nit = false;                  // NIT actual (transports, network name)
    bool eitPresentFollowing = false;  // EIT present/following of every service (DVB)
};

struct ReaderCounts {
    std::uint64_t packets = 0;
    std::uint64_t badPackets = 0;       // no sync byte or an impossible adaptation field
    std::uint64_t transportErrors = 0;  // packets with transport_error_indicator, ignored
    std::uint64_t continuityGaps = 0;   // on PIDs read for tables
    std::uint64_t crcErrors = 0;        // sections dropped for a wrong CRC_32
    std::uint64_t badSections = 0;      // sections dropped for an impossible length or layout
};

class TableReader {
public:
    explicit TableReader(Needs needs = {});
    ~TableReader();
    TableReader(TableReader&&) noexcept;
    TableReader& operator=(TableReader&&) noexcept;
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    // `count` whole 188-byte packets. discontinuity: packets were lost before these (a
    // buffer overrun, a retune), so sections begun earlier are dropped.
    void Feed(const std::uint8_t* packets, std::size_t count, bool discontinuity = false);

    // True once every needed table has all its sections of its current version.
    bool Complete() const;
    // What is still missing, for messages: "the PAT", "the PMT of service 0x0102", "the SDT",
    // "the NIT", "the EIT present/following of service 0x0102", "the MGT", "the TVCT";
    // joined with ", ". Empty when complete.
    std::string MissingText() const;
    // What has been read so far (complete or not): services sorted by id.
    Multiplex Result() const;

    const ReaderCounts& Counts() const;
    std::uint64_t CrcErrors() const { return Counts().crcErrors; }

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace talvex::tables
