// The stream library's platform-free units: the packet aligner against every way a
// driver's buffers can cut a stream (split packets, garbage before sync, lost sync,
// empty and discontinuous buffers, the end of the stream), and the census of what
// the packets' headers say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "PacketAligner.h"
#include "StreamCensus.h"

namespace {

using namespace ombrel::stream;
using Bytes = std::vector<uint8_t>;

// Packet i of a test stream: PID 0x100 + i % 4, its own continuity counter, and a
// payload whose bytes differ between packets, 0x47 among them.
Bytes MakePackets(std::size_t first, std::size_t count) {
    Bytes out;
    for (std::size_t i = first; i < first + count; ++i) {
        uint8_t p[kPacketSize];
        const uint16_t pid = static_cast<uint16_t>(0x100 + i % 4);
        p[0] = kSyncByte;
        p[1] = static_cast<uint8_t>(pid >> 8);
        p[2] = static_cast<uint8_t>(pid);
        p[3] = static_cast<uint8_t>(0x10 | (i / 4) % 16);
        for (std::size_t k = 4; k < kPacketSize; ++k) p[k] = static_cast<uint8_t>(7 * i + k);
        out.insert(out.end(), p, p + kPacketSize);
    }
    return out;
}

struct Run {
    std::size_t count;
    bool discontinuity;
    const uint8_t* where;
};

// Collects what the aligner hands on, and stops after `stopAfter` runs when asked to.
struct Collector : PacketOutput {
    Bytes bytes;
    std::vector<Run> runs;
    std::size_t stopAfter = SIZE_MAX;
    bool Packets(const uint8_t* packets, std::size_t count, bool discontinuity) override {
        EXPECT_GT(count, 0u);
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(packets[i * kPacketSize], kSyncByte);
        bytes.insert(bytes.end(), packets, packets + count * kPacketSize);
        runs.push_back({count, discontinuity, packets});
        return runs.size() < stopAfter;
    }
    std::size_t Flagged() const {
        return static_cast<std::size_t>(std::count_if(runs.begin(), runs.end(), [](const Run& r) { return r.discontinuity; }));
    }
};

// Pushes `stream` cut at the given buffer sizes, cycling through them.
void PushCut(PacketAligner& aligner, const Bytes& stream, const std::vector<std::size_t>& sizes, PacketOutput& out) {
    std::size_t at = 0;
    for (std::size_t n = 0; at < stream.size(); ++n) {
        const std::size_t size = std::min(sizes[n % sizes.size()], stream.size() - at);
        EXPECT_TRUE(aligner.Push(stream.data() + at, size, false, out));
        at += size;
    }
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(PacketAligner, ASplitStreamComesOutWholeInEveryCutAndAlignedBuffersAreNotCopied) {
    const Bytes stream = MakePackets(0, 40);
    for (const auto& sizes : std::vector<std::vector<std::size_t>>{
             {1}, {7}, {187}, {188}, {189}, {100, 276}, {1000, 3, 188 * 3}, {376, 0, 376}}) {
        SCOPED_TRACE(::testing::PrintToString(sizes));
        PacketAligner aligner;
        Collector out;
        PushCut(aligner, stream, sizes, out);
        EXPECT_TRUE(aligner.Locked());
        EXPECT_EQ(out.bytes.size(), stream.size() - kPacketSize) << "the last packet waits for the byte after it";
        ASSERT_TRUE(aligner.Finish(out));
        EXPECT_EQ(out.bytes, stream);
        EXPECT_EQ(out.Flagged(), 0u);
        EXPECT_EQ(aligner.Counts().packets, 40u);
        EXPECT_EQ(aligner.Counts().droppedBytes, 0u);
        EXPECT_EQ(aligner.Counts().syncLosses, 0u);
        EXPECT_EQ(aligner.Counts().bytes, stream.size());
    }

    // Buffers of whole packets: after the three that confirm sync, a buffer's packets go
    // on where they lie, but for its last one, which waits for the next buffer.
    PacketAligner aligner;
    Collector out;
    const Bytes first = MakePackets(0, 3);
    const Bytes second = MakePackets(3, 5);
    ASSERT_TRUE(aligner.Push(first.data(), first.size(), false, out));
    ASSERT_TRUE(aligner.Push(second.data(), second.size(), false, out));
    ASSERT_EQ(out.runs.size(), 3u);
    EXPECT_EQ(out.runs[0].count, 2u);
    EXPECT_EQ(out.runs[1].count, 1u);
    EXPECT_EQ(out.runs[2].where, second.data());
    EXPECT_EQ(out.runs[2].count, 4u);
}

TEST(PacketAligner, GarbageBeforeSyncIsDroppedAndAFalseSyncIsNotTaken) {
    // Garbage with sync bytes in it, two of them 188 apart: not three, so no boundary.
    Bytes garbage(500, 0x5A);
    garbage[10] = kSyncByte;
    garbage[10 + 188] = kSyncByte;
    garbage[499] = kSyncByte;
    const Bytes packets = MakePackets(0, 10);
    for (std::size_t cut : {1, 64, 499, 4096}) {
        SCOPED_TRACE(cut);
        PacketAligner aligner;
        Collector out;
        PushCut(aligner, Concat({garbage, packets}), {cut}, out);
        ASSERT_TRUE(aligner.Finish(out));
        EXPECT_EQ(out.bytes, packets);
        EXPECT_EQ(aligner.Counts().droppedBytes, garbage.size());
        ASSERT_FALSE(out.runs.empty());
        EXPECT_TRUE(out.runs.front().discontinuity) << "bytes were dropped before the first packets";
        EXPECT_EQ(out.Flagged(), 1u);
        EXPECT_EQ(aligner.Counts().syncLosses, 0u);
    }
}

TEST(PacketAligner, LostSyncDropsOnlyTheDamagedStretchAndFlagsWhatFollows) {
    const Bytes before = MakePackets(0, 6);
    const Bytes after = MakePackets(10, 6);
    Bytes cutShort = MakePackets(6, 1);
    cutShort.resize(100);  // a packet that lost its end
    const Bytes inserted(37, 0x00);
    const Bytes stream = Concat({before, cutShort, after, inserted, MakePackets(16, 4)});
    for (std::size_t cut : std::vector<std::size_t>{1, 188, 300, 188 * 8, stream.size()}) {
        SCOPED_TRACE(cut);
        PacketAligner aligner;
        Collector out;
        PushCut(aligner, stream, {cut}, out);
        ASSERT_TRUE(aligner.Finish(out));
        // The cut-short packet is not followed by a sync byte 188 bytes on, so it does not
        // go on spliced with the head of packet 10, which is found again whole. Packet
        // 15, followed by the 37 stray bytes, cannot be told from a damaged one and goes.
        const Bytes expected = Concat({before, MakePackets(10, 5), MakePackets(16, 4)});
        EXPECT_EQ(out.bytes, expected);
        EXPECT_EQ(aligner.Counts().syncLosses, 2u);
        EXPECT_EQ(aligner.Counts().droppedBytes, stream.size() - expected.size());
        EXPECT_EQ(out.Flagged(), 2u);
        EXPECT_FALSE(out.runs.front().discontinuity);
    }
}

TEST(PacketAligner, EmptyAndDiscontinuousBuffersDropTheSplitPacketAndFlagTheNextRun) {
    PacketAligner aligner;
    Collector out;
    const Bytes a = MakePackets(0, 4);
    const Bytes b = MakePackets(4, 4);
    ASSERT_TRUE(aligner.Push(a.data(), a.size() - 50, false, out));  // the last packet split
    ASSERT_TRUE(aligner.Push(nullptr, 0, false, out));               // nothing: changes nothing
    ASSERT_TRUE(aligner.Push(a.data() + a.size() - 50, 50, false, out));
    EXPECT_EQ(out.bytes.size(), 3 * kPacketSize);
    ASSERT_TRUE(aligner.Push(b.data(), 100, false, out));  // a packet's start...
    EXPECT_EQ(out.bytes, a);
    EXPECT_EQ(out.Flagged(), 0u);

    ASSERT_TRUE(aligner.Push(nullptr, 0, true, out));  // ...then a break, in an empty buffer
    const Bytes c = MakePackets(20, 3);
    ASSERT_TRUE(aligner.Push(c.data(), c.size(), false, out));
    EXPECT_EQ(out.bytes, Concat({a, MakePackets(20, 2)}));
    EXPECT_EQ(aligner.Counts().droppedBytes, 100u);
    EXPECT_TRUE(out.runs.back().discontinuity);

    // A discontinuous buffer that starts on a boundary: the split packet before it goes.
    ASSERT_TRUE(aligner.Push(b.data(), 150, false, out));
    EXPECT_FALSE(out.runs.back().discontinuity);
    const Bytes d = MakePackets(30, 5);
    ASSERT_TRUE(aligner.Push(d.data(), d.size(), true, out));
    EXPECT_EQ(out.bytes, Concat({a, c, MakePackets(30, 4)}));
    // A whole packet waiting for the byte after it at a break goes on, unflagged.
    const Bytes e = MakePackets(40, 3);
    const std::size_t runs = out.runs.size();
    ASSERT_TRUE(aligner.Push(e.data(), e.size(), true, out));
    ASSERT_TRUE(aligner.Finish(out));
    EXPECT_EQ(out.bytes, Concat({a, c, d, e}));
    ASSERT_EQ(out.runs.size(), runs + 3);
    EXPECT_FALSE(out.runs[runs].discontinuity);
    EXPECT_TRUE(out.runs[runs + 1].discontinuity);
    EXPECT_EQ(aligner.Counts().droppedBytes, 250u);
    EXPECT_EQ(aligner.Counts().discontinuities, 3u);
    EXPECT_EQ(aligner.Counts().buffers, 9u);
}

TEST(PacketAligner, TheEndOfTheStreamHandsOnConsistentWaitingPacketsAndDropsTheRest) {
    PacketAligner aligner;
    Collector out;
    const Bytes two = MakePackets(0, 2);
    const Bytes start = Concat({Bytes(5, 0xFF), two});
    ASSERT_TRUE(aligner.Push(start.data(), start.size(), false, out));
    EXPECT_TRUE(out.bytes.empty()) << "two packets do not confirm sync";
    ASSERT_TRUE(aligner.Finish(out));
    EXPECT_EQ(out.bytes, two);
    EXPECT_EQ(aligner.Counts().droppedBytes, 5u);
    EXPECT_FALSE(aligner.Locked());

    // In sync at the end: a whole packet waiting for the byte after it goes on, a split
    // one is dropped.
    const Bytes three = MakePackets(20, 3);
    ASSERT_TRUE(aligner.Push(three.data(), three.size(), false, out));
    ASSERT_TRUE(aligner.Finish(out));
    EXPECT_EQ(out.bytes, Concat({two, three}));
    const Bytes more = MakePackets(10, 5);
    ASSERT_TRUE(aligner.Push(more.data(), more.size() - 10, false, out));
    ASSERT_TRUE(aligner.Finish(out));
    EXPECT_EQ(aligner.Counts().droppedBytes, 5u + 178u);
    EXPECT_EQ(out.bytes, Concat({two, three, MakePackets(10, 4)}));
    // What comes after an end does not follow on.
    ASSERT_TRUE(aligner.Push(more.data(), more.size(), false, out));
    EXPECT_TRUE(out.runs.back().discontinuity);
    aligner.Reset();
    EXPECT_EQ(aligner.Counts().droppedBytes, 5u + 178u + 188u);
    EXPECT_EQ(aligner.Counts().packets, 2u + 3u + 4u + 4u);
}

TEST(PacketAligner, AnOutputThatStopsGetsNothingMoreFromThatBuffer) {
    PacketAligner aligner;
    Collector out;
    const Bytes a = MakePackets(0, 4);
    Bytes b = MakePackets(4, 6);
    ASSERT_TRUE(aligner.Push(a.data(), a.size() - 20, false, out));
    ASSERT_EQ(out.runs.size(), 1u);
    out.stopAfter = 3;  // the split packet, then the run in place
    b.insert(b.begin(), a.end() - 20, a.end());
    b[20 + 188 * 3] = 0;  // a lost sync further on, never reached
    EXPECT_FALSE(aligner.Push(b.data(), b.size(), false, out));
    EXPECT_EQ(out.runs.size(), 3u);
    EXPECT_EQ(out.bytes, MakePackets(0, 6));
    EXPECT_EQ(aligner.Counts().syncLosses, 0u);
    EXPECT_EQ(aligner.Counts().droppedBytes, b.size() - 20 - 188 * 2);
    // The next buffer hunts for sync afresh.
    EXPECT_FALSE(aligner.Locked());
}

// --- Census --------------------------------------------------------------------------

Bytes Packet(uint16_t pid, uint8_t counter, uint8_t control = 1, uint8_t flags = 0) {
    Bytes p(kPacketSize, 0xFF);
    p[0] = kSyncByte;
    p[1] = static_cast<uint8_t>((flags & 0x80) | (pid >> 8));
    p[2] = static_cast<uint8_t>(pid);
    p[3] = static_cast<uint8_t>((flags & 0xC0 ? 0x80 : 0) | control << 4 | (counter & 0x0F));
    if (control & 2) {
        p[4] = 1;
        p[5] = flags & 0x01 ? 0x80 : 0x00;  // discontinuity_indicator
    }
    return p;
}

TEST(StreamCensus, ContinuityErrorsScrambledAndDamagedPacketsAsTheHeadersSayThem) {
    StreamCensus census;
    Bytes s = Concat({Packet(0x100, 14), Packet(0x100, 15), Packet(0x100, 0),  // in order, wrapping
                      Packet(0x100, 0),                                        // one duplicate: allowed
                      Packet(0x100, 0),                                        // a second one: error
                      Packet(0x100, 2),                                        // one lost: error
                      Packet(0x100, 2, 2),                                     // no payload, same counter
                      Packet(0x100, 5, 2),                                     // no payload, changed: error
                      Packet(0x100, 9, 3, 0x01),                               // signalled discontinuity
                      Packet(0x100, 10),
                      Packet(0x1FFF, 3), Packet(0x1FFF, 9),                    // null packets: no counter
                      Packet(0x300, 4), Packet(0x300, 9, 1, 0x80),            // damaged: counted only,
                      Packet(0x300, 6),                                        // the next not checked
                      Packet(0x200, 1, 1, 0x40), Packet(0x200, 2, 1, 0x40)});  // scrambled, in order
    census.Count(s.data(), s.size() / kPacketSize, false);
    EXPECT_EQ(census.Counts().continuityErrors, 3u);
    EXPECT_EQ(census.Counts().scrambledPackets, 2u);
    EXPECT_EQ(census.Counts().transportErrors, 1u);

    // After a discontinuity no counter is expected to follow on; afterwards they are again.
    const Bytes next = Concat({Packet(0x100, 4), Packet(0x200, 9), Packet(0x100, 6)});
    census.Count(next.data(), 3, true);
    EXPECT_EQ(census.Counts().continuityErrors, 4u);
}

// The aligner and the census together, as the sink uses them: a stream with lost bytes
// between packets counts no continuity error across the flagged break, but one for a
// packet lost inside a run.
TEST(StreamCensus, FollowsTheAlignersDiscontinuityFlag) {
    struct Counting : PacketOutput {
        StreamCensus census;
        bool Packets(const uint8_t* p, std::size_t n, bool d) override {
            census.Count(p, n, d);
            return true;
        }
    } out;
    Bytes stream = MakePackets(0, 16);
    // Packet 10 lost whole (its PID's counter skips one); 5 stray bytes after packet 5,
    // which goes with them.
    stream.erase(stream.begin() + 188 * 10, stream.begin() + 188 * 11);
    stream.insert(stream.begin() + 188 * 6, 5, 0x00);
    PacketAligner aligner;
    PushCut(aligner, stream, {333}, out);
    ASSERT_TRUE(aligner.Finish(out));
    EXPECT_EQ(aligner.Counts().packets, 14u);
    EXPECT_EQ(aligner.Counts().discontinuities, 1u);
    EXPECT_EQ(out.census.Counts().continuityErrors, 1u);
}

}  // namespace
