// What a scan tries and in which order: start files per input, the satellite sweep, the
// channel rasters, and the transports that NITs add.
#include <gtest/gtest.h>

#include "ScanPlan.h"

#include <set>

using namespace ombrel_cli;

namespace {

Delivery Sat(std::uint32_t kHz, std::uint8_t pol, std::uint32_t rate, std::optional<std::uint8_t> input = {}) {
    Delivery d;
    d.system = DeliverySystem::DvbS;
    d.frequencyKHz = kHz;
    d.polarisation = pol;
    d.symbolRate = rate;
    d.satelliteNumber = input;
    return d;
}

Delivery Terrestrial(std::uint32_t kHz, std::uint8_t bandwidth = 8) {
    Delivery d;
    d.system = DeliverySystem::DvbT;
    d.frequencyKHz = kHz;
    d.bandwidthMHz = bandwidth;
    d.modulation = tuning::kQam64;
    return d;
}

std::vector<std::string> Drain(ScanPlan& plan) {
    std::vector<std::string> labels;
    while (auto c = plan.Next()) labels.push_back(c->label);
    return labels;
}

}  // namespace

TEST(ScanPlan, RastersHoldEveryChannelAtItsCentre) {
    const auto dvbt = DvbtRaster();
    ASSERT_EQ(dvbt.size(), 8u + 49u);
    EXPECT_EQ(dvbt.front().centreKHz, 177500u);  // channel 5
    EXPECT_EQ(dvbt[7].number, 12);
    EXPECT_EQ(dvbt[7].centreKHz, 226500u);
    EXPECT_EQ(dvbt[8].number, 21);
    EXPECT_EQ(dvbt[8].centreKHz, 474000u);
    EXPECT_EQ(dvbt[8].bandwidthMHz, 8);
    EXPECT_EQ(dvbt.back().centreKHz, 858000u);  // channel 69

    const auto atsc = AtscRaster();
    ASSERT_EQ(atsc.size(), 50u);
    const auto centre = [&](int n) {
        for (const auto& r : atsc)
            if (r.number == n) return r.centreKHz;
        return 0u;
    };
    EXPECT_EQ(centre(2), 57000u);
    EXPECT_EQ(centre(5), 79000u);  // after the gap at 72 to 76 MHz
    EXPECT_EQ(centre(7), 177000u);
    EXPECT_EQ(centre(13), 213000u);
    EXPECT_EQ(centre(14), 473000u);
    EXPECT_EQ(centre(34), 593000u);
    EXPECT_EQ(centre(51), 695000u);
}

TEST(ScanPlan, TheSweepLeavesNoGapTheCaptureRangeDoesNotCover) {
    const std::uint8_t inputs[] = {0, 2};
    ScanPlan plan = ScanPlan::SatelliteSweep(LnbSetting{}, inputs);
    std::vector<Candidate> points;
    while (auto c = plan.Next()) points.push_back(*c);
    // Every downlink a universal LNB passes, on both polarisations of both inputs, lies
    // within the capture range of a point, and every point's intermediate frequency is
    // one the tuner takes.
    for (std::uint8_t input : inputs) {
        for (std::uint8_t pol : {tuning::kHorizontal, tuning::kVertical}) {
            for (std::uint32_t f = 10700000; f <= 12750000; f += 500) {
                const bool covered = std::any_of(points.begin(), points.end(), [&](const Candidate& c) {
                    return c.delivery.satelliteNumber == input && c.delivery.polarisation == pol &&
                           (c.delivery.frequencyKHz > f ? c.delivery.frequencyKHz - f : f - c.delivery.frequencyKHz) <=
                               scan::kSatelliteCaptureKHz;
                });
                ASSERT_TRUE(covered) << f << " kHz, input " << int(input) << " pol " << int(pol);
            }
        }
    }
    for (const Candidate& c : points) {
        const std::uint32_t f = c.delivery.frequencyKHz;
        const std::uint32_t lo = f >= 11700000 ? 10600000 : 9750000;
        EXPECT_GE(f - lo, tuning::kIfMinKHz);
        EXPECT_LE(f - lo, tuning::kIfMaxKHz);
        EXPECT_EQ(c.origin, CandidateOrigin::Sweep);
        EXPECT_EQ(c.otherSymbolRates.size() + 1, std::size(scan::kSweepSymbolRates));
    }
    EXPECT_LT(points.size(), 2u * 2u * (2050u / 6u + 2u));  // no more points than the steps need
    EXPECT_EQ(points.front().label, "input A 10703 MHz H");

    // A single-band LNB is swept over its one band.
    ScanPlan single = ScanPlan::SatelliteSweep(LnbSetting{10750000, 0, 0}, std::span<const std::uint8_t>(inputs, 1));
    const auto first = single.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->delivery.frequencyKHz, 10750000u + 950000u + 3000u);
}

TEST(ScanPlan, StartFileRunsOnEachInputAndTheNitAddsTheRestOnce) {
    const Delivery start[] = {Sat(10744000, tuning::kHorizontal, 22000), Sat(10971000, tuning::kVertical, 29700, 1)};
    const std::uint8_t inputs[] = {0, 1, 2};
    ScanPlan plan = ScanPlan::FromStartFile(start, inputs);
    EXPECT_EQ(plan.Total(), 4u);  // the first on A, B and C; the second only on its SAT_NUMBER, B

    auto c = plan.Next();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->label, "input A 10744 MHz H 22000 kS/s");
    EXPECT_FALSE(c->networkKnown);
    plan.Found(c->delivery);
    // Its NIT lists itself (within the capture range, as a NIT's rounding may have it),
    // two more, and one twice.
    const Delivery nit[] = {Sat(10744500, tuning::kHorizontal, 22000), Sat(11362000, tuning::kHorizontal, 22000),
                            Sat(11597000, tuning::kVertical, 22000), Sat(11597000, tuning::kVertical, 22000)};
    EXPECT_EQ(plan.AddFromNetwork(nit, 0), 2u);
    EXPECT_EQ(plan.Total(), 6u);
    c = plan.Next();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->label, "input A 11362 MHz H 22000 kS/s");  // the network's own before the rest of the file
    EXPECT_TRUE(c->networkKnown);
    EXPECT_EQ(c->origin, CandidateOrigin::Network);
    plan.Found(c->delivery);
    EXPECT_EQ(plan.Next()->label, "input A 11597 MHz V 22000 kS/s");
    // The start multiplex on another input is another dish's: tried, and not known.
    c = plan.Next();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->label, "input B 10744 MHz H 22000 kS/s");
    EXPECT_FALSE(c->networkKnown);
    EXPECT_EQ(Drain(plan), (std::vector<std::string>{"input B 10971 MHz V 29700 kS/s", "input C 10744 MHz H 22000 kS/s"}));
    EXPECT_EQ(plan.Tried(), 6u);
    EXPECT_EQ(plan.Total(), 6u);
}

TEST(ScanPlan, RasterTakesTheNitsParametersAndSkipsWhatWasFound) {
    ScanPlan plan = ScanPlan::Raster(Reception::Terrestrial);
    const std::size_t raster = plan.Total();
    auto c = plan.Next();  // channel 5
    ASSERT_TRUE(c);
    EXPECT_EQ(c->label, "channel 5 (177.5 MHz)");
    EXPECT_EQ(c->delivery.bandwidthMHz, 7);
    EXPECT_EQ(c->delivery.modulation, tuning::kModulationAuto);
    plan.Found(c->delivery);
    // The NIT names channel 27 with its parameters, one off the raster, and channel 5 itself.
    Delivery ch27 = Terrestrial(522000);
    ch27.fec = 3;
    const Delivery nit[] = {Terrestrial(177500, 7), ch27, Terrestrial(500250)};
    EXPECT_EQ(plan.AddFromNetwork(nit, std::nullopt), 1u);
    EXPECT_EQ(plan.Total(), raster + 1);
    c = plan.Next();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->label, "500.25 MHz");
    EXPECT_TRUE(c->networkKnown);
    std::optional<Candidate> at27;
    while (auto n = plan.Next()) {
        if (n->delivery.frequencyKHz == 522000) at27 = n;
        EXPECT_NE(n->delivery.frequencyKHz, 177500u);
    }
    ASSERT_TRUE(at27);
    EXPECT_EQ(at27->label, "channel 27 (522 MHz)");
    EXPECT_EQ(at27->delivery.fec, 3);
    EXPECT_EQ(at27->delivery.modulation, tuning::kQam64);
    EXPECT_TRUE(at27->networkKnown);

    ScanPlan atsc = ScanPlan::Raster(Reception::Atsc);
    c = atsc.Next();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->delivery.system, DeliverySystem::Atsc);
    EXPECT_EQ(c->delivery.modulation, tuning::k8vsb);
    EXPECT_EQ(c->delivery.bandwidthMHz, 6);
}
