// The plain rules behind the stream pins: the pace by elapsed time (no drift over long
// runs, a bounded catch-up after a stall, a restart at a retune), the buffers of whole
// packets, the discontinuity watch, and who may hold and link a box's stream.
#include <gtest/gtest.h>

#include "SharedLayout.h"
#include "StreamClaim.h"
#include "StreamPacing.h"

namespace {

using namespace tunersim;

TEST(StreamPacing, SlotsFollowTheElapsedTimeWithoutDriftAndCatchUpOnlySoFar) {
    constexpr uint64_t kBitrate = 38'000'000;
    pacing::Pacer pacer(500);
    EXPECT_EQ(pacer.Take(1000).slots, 0u);  // not started
    pacer.Start(1000, kBitrate);
    EXPECT_TRUE(pacer.Running());

    // Ticks of uneven length, a day long: the sum is what the total time asks for.
    uint64_t made = 0;
    int64_t now = 1000;
    for (int i = 0; i < 100000; ++i) {
        now += 10 + i % 11;
        made += pacer.Take(now).slots;
    }
    // A tick's remainder is never lost: the total is exact to the packet.
    const uint64_t elapsed = static_cast<uint64_t>(now - 1000);
    EXPECT_EQ(made, elapsed * kBitrate / (188 * 8 * 1000));
    EXPECT_EQ(pacer.DueBy(now), made);

    // A clock that goes back or stands still gives nothing.
    EXPECT_EQ(pacer.Take(now - 50).slots, 0u);
    EXPECT_EQ(pacer.Take(now).slots, 0u);

    // Held up for 3 s: half a second is made, the rest skipped and reported.
    const pacing::Pacer::Due late = pacer.Take(now + 3000);
    const uint64_t bound = 500 * kBitrate / (188 * 8 * 1000);
    EXPECT_EQ(late.slots, bound);
    EXPECT_EQ(late.slots + late.skipped, pacer.DueBy(now + 3000) - made);

    // Days at the highest rates stay within 64 bits.
    pacing::Pacer fast;
    fast.Start(0, 200'000'000);
    EXPECT_EQ(fast.DueBy(int64_t{7} * 24 * 3600 * 1000), uint64_t{7} * 24 * 3600 * 200'000'000 / (188 * 8));

    // A restart (a retune to a multiplex of another rate) counts from the new origin.
    pacer.Start(now, 1'504'000);  // 1000 packets a second
    EXPECT_EQ(pacer.Take(now + 250).slots, 250u);
    pacer.Stop();
    EXPECT_FALSE(pacer.Running());
    EXPECT_EQ(pacer.Take(now + 500).slots, 0u);
}

TEST(StreamPacing, BuffersHoldWholePacketsAndMeetTheDownstreamWish) {
    const pacing::BufferPlan own = pacing::PlanBuffers(0, 0);
    EXPECT_EQ(own.bytes % 188, 0);
    EXPECT_GE(own.bytes, 32 * 1024);
    EXPECT_GE(own.count, 4);
    const pacing::BufferPlan bigger = pacing::PlanBuffers(40, 100000);
    EXPECT_EQ(bigger.count, 40);
    EXPECT_EQ(bigger.bytes, 532 * 188);  // 100000 rounded up to whole packets
    const pacing::BufferPlan smaller = pacing::PlanBuffers(2, 1000);
    EXPECT_EQ(smaller.count, own.count);
    EXPECT_EQ(smaller.bytes, own.bytes);

    EXPECT_EQ(pacing::PacketsPerBuffer(187), 0u);
    EXPECT_EQ(pacing::PacketsPerBuffer(188), 1u);
    EXPECT_EQ(pacing::PacketsPerBuffer(188 * 5 + 100), 5u);
    EXPECT_EQ(pacing::PacketsPerBuffer(-1), 0u);

    pacing::ContinuityWatch watch;
    EXPECT_TRUE(watch.TakeDiscontinuity());  // the first sample of a run
    EXPECT_FALSE(watch.TakeDiscontinuity());
    watch.Gap();
    watch.Gap();
    EXPECT_TRUE(watch.TakeDiscontinuity());
    EXPECT_FALSE(watch.TakeDiscontinuity());
}

TEST(StreamClaim, OneStreamObjectPerBoxAndTheTunerFeedsOnlyItsOwnReceiver) {
    EXPECT_EQ(claim::StreamObjectName("00A1B2C3D4E50001"), claim::StreamObjectName("00a1b2c3d4e50001"));
    EXPECT_NE(claim::StreamObjectName("00a1b2c3d4e50001"), claim::StreamObjectName("00a1b2c3d4e50002"));
    EXPECT_EQ(claim::StreamObjectName("00a1b2c3d4e50001").find('\\'), std::string::npos);

    const claim::Endpoint tuner{"00a1b2c3d4e50001", layout::kRoleTuner, false};
    const claim::Endpoint receiver{"00A1B2C3D4E50001", layout::kRoleReceiver, true};
    const claim::Endpoint otherReceiver{"00a1b2c3d4e50002", layout::kRoleReceiver, true};
    const claim::Endpoint receiverOutput{"00a1b2c3d4e50001", layout::kRoleReceiver, false};
    const claim::Endpoint wdm{"00a1b2c3d4e50001", layout::kRoleWdm, false};
    EXPECT_EQ(claim::JudgeTunerLink(tuner, &receiver), claim::LinkVerdict::Accept);
    EXPECT_EQ(claim::JudgeTunerLink(tuner, &otherReceiver), claim::LinkVerdict::OtherBox);
    EXPECT_EQ(claim::JudgeTunerLink(tuner, &receiverOutput), claim::LinkVerdict::NotReceiverInput);
    EXPECT_EQ(claim::JudgeTunerLink(tuner, nullptr), claim::LinkVerdict::NotReceiverInput);
    // The receiver judges its connector by the same rule: only a tuner's output.
    EXPECT_EQ(claim::JudgeTunerLink(wdm, &receiver), claim::LinkVerdict::NotTunerOutput);
    EXPECT_EQ(claim::JudgeTunerLink(receiverOutput, &receiver), claim::LinkVerdict::NotTunerOutput);
}

}  // namespace
