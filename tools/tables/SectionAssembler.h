// Sections out of the packets of one PID (ISO/IEC 13818-1 2.4.4): pointer_field, sections
// spanning packets, several sections in one packet, stuffing. A continuity gap or a
// discontinuity drops the section begun; a section whose length is impossible for its
// table or whose CRC_32 is wrong is dropped and counted. Never reads past the packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "TsPacketView.h"

namespace talvex::tables {

struct AssemblyCounts {
    std::uint64_t continuityGaps = 0;
    std::uint64_t crcErrors = 0;
    std::uint64_t badSections = 0;
};

class SectionAssembler {
public:
    // Receives each whole section with a correct CRC (where its table has one), table_id to
    // the end (CRC included). Valid only during the call.
    using Sink = std::function<void(const std::uint8_t* section, std::size_t size)>;

    // `packet` is a valid packet of this assembler's PID without transport error.
    void Feed(const PacketView& packet, AssemblyCounts& counts, const Sink& sink);
    // Forgets the section begun and the continuity counter (packets were lost).
    void Reset();

    // The largest section_length a table may have: 4093 for EIT and the ATSC tables (and
    // other private sections), 1021 for the rest.
    static std::size_t MaxSectionLength(std::uint8_t tableId);
    // Does the table carry a CRC_32? Long-form sections and the TOT do.
    static bool HasCrc(std::uint8_t tableId, bool longForm);

private:
    // Appends bytes to the section begun; returns how many it took.
    std::size_t Take(const std::uint8_t* data, std::size_t size, AssemblyCounts& counts, const Sink& sink);
    void Finish(AssemblyCounts& counts, const Sink& sink);

    std::vector<std::uint8_t> section_;
    bool collecting_ = false;
    std::size_t expected_ = 0;  // whole size once the header is in, else 0
    int lastContinuity_ = -1;
};

}  // namespace talvex::tables
