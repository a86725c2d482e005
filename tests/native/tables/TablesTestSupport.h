// Shared by the tests of the table reader: a simulated multiplex's stream made on demand
// with its own clock, and comparisons of read multiplexes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Multiplexer.h"
#include "Sky.h"
#include "TableReader.h"
#include "es/ClipLibrary.h"

namespace tables_test {

inline constexpr int64_t kStartUnixMs = 1796000000000;  // 2026-11-30, 400 s before a half hour

inline tunersim::stream::ClipLibrary& Clips() {
    static tunersim::stream::ClipLibrary clips(std::string(OMBREL_SOURCE_DIR) + "/simulator/content");
    return clips;
}

// One multiplex's packets, and the time on its own clock.
class SimulatedStream {
public:
    explicit SimulatedStream(const tunersim::sky::Multiplex& m)
        : mux_(m, Clips(), kStartUnixMs, counters_, false), rate_(tunersim::sky::UsefulBitrate(m)) {}

    std::vector<uint8_t> Make(std::size_t count) {
        std::vector<uint8_t> packets(count * 188);
        mux_.Make(packets.data(), count);
        return packets;
    }
    void Skip(uint64_t ms) {
        for (uint64_t left = ms * rate_ / 1504 / 1000; left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(left, 4096));
            Make(n);
            left -= n;
        }
    }
    void FeedTo(talvex::tables::TableReader& reader, std::size_t count) {
        const auto packets = Make(count);
        reader.Feed(packets.data(), count);
    }
    uint64_t PacketsMade() const { return mux_.PacketsMade(); }
    // Stream time since the packet with that index.
    uint64_t MsSince(uint64_t packet) const { return (PacketsMade() - packet) * 1504 * 1000 / rate_; }
    int64_t UnixSeconds() const {
        return (kStartUnixMs + static_cast<int64_t>(PacketsMade() * 1504 * 1000 / rate_)) / 1000;
    }

private:
    tunersim::stream::ContinuityCounters counters_;
    tunersim::stream::Multiplexer mux_;
    uint64_t rate_;
};

// The first DVB multiplex with a NIT and a scrambled service.
inline const tunersim::sky::Multiplex& ScrambledDvbMultiplex() {
    for (const auto& m : tunersim::sky::Multiplexes()) {
        if (tunersim::sky::IsAtsc(m) || m.networkId == 0) continue;
        for (const auto& s : m.services)
            if (s.scrambled) return m;
    }
    throw std::logic_error("the sky has no scrambled DVB service");
}

inline bool IsPmtPid(const tunersim::sky::Multiplex& m, uint16_t pid) {
    for (const auto& s : m.services)
        if (s.pmtPid == pid) return true;
    return false;
}

inline void ExpectSameServices(const talvex::tables::Multiplex& a, const talvex::tables::Multiplex& b) {
    EXPECT_EQ(a.transportStreamId, b.transportStreamId);
    EXPECT_EQ(a.networkName, b.networkName);
    ASSERT_EQ(a.services.size(), b.services.size());
    for (std::size_t i = 0; i < a.services.size(); ++i) {
        const auto& x = a.services[i];
        const auto& y = b.services[i];
        EXPECT_EQ(x.id, y.id);
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.provider, y.provider);
        EXPECT_EQ(x.pmtSection, y.pmtSection);
        EXPECT_EQ(x.scrambled, y.scrambled);
        EXPECT_EQ(x.present.has_value(), y.present.has_value());
        if (x.present && y.present) {
            EXPECT_EQ(x.present->name, y.present->name);
        }
    }
}

}  // namespace tables_test
