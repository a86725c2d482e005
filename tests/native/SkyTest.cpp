// The sky's definition is consistent: what the tables, the front end and the tools read.
#include <gtest/gtest.h>

#include <set>

#include "FrontEndSky.h"
#include "Sky.h"

using namespace tunersim;

TEST(Sky, MultiplexesAreUniqueAndReceivableWhereTheyAre) {
    const auto& sky = sky::Multiplexes();
    ASSERT_EQ(sky.size(), 15u);  // 9 transponders, 4 DVB-T and 2 ATSC channels
    std::set<std::pair<uint16_t, uint16_t>> ids;
    for (const auto& m : sky) {
        SCOPED_TRACE(m.name);
        EXPECT_TRUE(ids.insert({m.originalNetworkId, m.transportStreamId}).second);
        EXPECT_GE(m.services.size(), 2u);
        EXPECT_LE(m.services.size(), 6u);
        std::set<uint16_t> pids, programs;
        for (const auto& s : m.services) {
            EXPECT_TRUE(programs.insert(s.id).second);
            EXPECT_TRUE(pids.insert(s.pmtPid).second);
            for (const auto& es : s.streams) EXPECT_TRUE(pids.insert(es.pid).second);
            EXPECT_EQ(s.pcrPid, s.streams.front().pid);
            EXPECT_EQ(s.kind == sky::ServiceKind::Television, sky::IsVideo(s.streams.front().type));
            if (sky::IsAtsc(m)) {
                EXPECT_LE(s.shortName.size(), 7u);
            }
        }
        // The front end finds this very multiplex at its own parameters.
        frontend::Reception r;
        if (sky::IsSatellite(m)) {
            frontend::SatelliteSignal s;
            s.input = m.input;
            s.voltage = m.polarisation == frontend::kVertical ? 13 : 18;
            s.tone = m.frequencyKHz >= 11700000;
            s.ifKHz = m.frequencyKHz - (s.tone ? frontend::kLnbHighOscillatorKHz : frontend::kLnbLowOscillatorKHz);
            s.symbolRate = m.symbolRate;
            r = frontend::Receive(s);
        } else {
            frontend::TerrestrialSignal t;
            t.frequencyKHz = m.frequencyKHz;
            t.bandwidthMHz = m.bandwidthMHz;
            t.atscReceiver = sky::IsAtsc(m);
            r = frontend::Receive(t);
        }
        EXPECT_TRUE(r.locked);
        EXPECT_EQ(r.multiplex, sky::IndexOf(m.name));
    }
}

TEST(Sky, UsefulBitratesFollowTheModulation) {
    const auto rate = [](const char* name) { return sky::UsefulBitrate(sky::Multiplexes()[sky::IndexOf(name)]); };
    EXPECT_NEAR(rate("A 12188 H") / 1e6, 38.015, 0.001);   // DVB-S QPSK 27500 3/4
    EXPECT_NEAR(rate("T 474 MHz") / 1e6, 19.906, 0.001);   // DVB-T 8 MHz QAM64 2/3 1/4
    EXPECT_NEAR(rate("ATSC 593 MHz") / 1e6, 19.393, 0.001);
    // 7 MHz QAM64 3/4 1/8: a useful symbol of 1024 us.
    EXPECT_NEAR(rate("T 177.5 MHz") / 1e6, 6048 * 6 * 0.75 * 188 / 204 / (1024e-6 * 1.125) / 1e6, 0.001);
    EXPECT_NEAR(rate("B 10971 V") / 1e6, 29.7 * 42960 / 21690, 0.001);  // DVB-S2 8PSK 2/3
}

TEST(Sky, ScrambledServicesOnSatelliteAndTerrestrialAndEveryNetworkListed) {
    bool satellite = false, terrestrial = false;
    for (const auto& m : sky::Multiplexes())
        for (const auto& s : m.services)
            if (s.scrambled) {
                EXPECT_NE(s.ecmPid, 0);
                (sky::IsSatellite(m) ? satellite : terrestrial) = true;
            }
    EXPECT_TRUE(satellite);
    EXPECT_TRUE(terrestrial);
    std::size_t listed = 0;
    for (const auto& n : sky::Networks()) listed += sky::MultiplexesOf(n.id).size();
    EXPECT_EQ(listed, 13u);  // all but the ATSC channels
}
