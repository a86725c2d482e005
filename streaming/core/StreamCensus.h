// Reads the headers of whole transport-stream packets (ISO/IEC 13818-1 2.4.3.2) for the
// figures a receiver watches: continuity errors per PID, scrambled packets and packets
// that the demodulator flagged as damaged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrel::stream {

struct CensusCounts {
    std::uint64_t continuityErrors = 0;  // a PID's counter did not follow on (a packet lost)
    std::uint64_t scrambledPackets = 0;  // transport_scrambling_control not 00
    std::uint64_t transportErrors = 0;   // transport_error_indicator set
};

class StreamCensus {
public:
    StreamCensus() { Forget(); }

    // `discontinuity`: the packets do not follow the ones counted before, so no PID's
    // counter is expected to follow on.
    void Count(const std::uint8_t* packets, std::size_t count, bool discontinuity);
    // Expects no PID's counter to follow on.
    void Forget() { last_.fill(kUnknown); }
    const CensusCounts& Counts() const { return counts_; }

private:
    void CountPacket(const std::uint8_t* p);

    static constexpr std::uint8_t kUnknown = 0xFF;
    static constexpr std::uint8_t kRepeated = 0x10;  // the last packet was a permitted duplicate
    // Per PID: the last continuity counter, kRepeated, or kUnknown.
    std::array<std::uint8_t, 8192> last_{};
    CensusCounts counts_;
};

}  // namespace ombrel::stream
