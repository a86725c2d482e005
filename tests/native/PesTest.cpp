// PES packets of the clips across loops and the 33-bit wrap, and their TS packets.
#include "ContentSupport.h"

using namespace tunersim;
using namespace content_test;

namespace {

uint64_t ReadPts(const uint8_t* p) {
    return (uint64_t{p[0]} >> 1 & 0x07) << 30 | uint64_t{p[1]} << 22 | (uint64_t{p[2]} >> 1) << 15 |
           uint64_t{p[3]} << 7 | p[4] >> 1;
}

// A packet's parts: header fields and where its payload lies.
struct TsView {
    bool unitStart;
    uint16_t pid;
    uint8_t adaptationControl;
    uint8_t counter;
    std::size_t payloadOffset;
};

TsView View(const stream::Packet& p) {
    TsView v{(p[1] & 0x40) != 0, static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]), static_cast<uint8_t>(p[3] >> 4 & 3),
             static_cast<uint8_t>(p[3] & 0x0F), 4};
    if (v.adaptationControl & 2) v.payloadOffset = 5 + p[4];
    return v;
}

}  // namespace

TEST(Pes, EveryUnitOfThreeLoopsInItsOwnPacketWithPtsRunningOnAcrossTheWrap) {
    stream::ClipLibrary library(ContentFolder().string());
    const std::pair<const char*, sky::StreamType> clips[] = {
        {"aster-eins", sky::StreamType::Mpeg2Video}, {"sever-tv", sky::StreamType::H264Video},
        {"aster-eins", sky::StreamType::Mpeg1Layer2Audio}, {"tlvx", sky::StreamType::Ac3Audio}};
    const uint8_t streamIds[] = {0xE0, 0xE0, 0xC0, 0xBD};
    for (std::size_t c = 0; c < std::size(clips); ++c) {
        SCOPED_TRACE(clips[c].first);
        const auto& clip = library.Get(clips[c].first, clips[c].second);
        EXPECT_EQ(stream::PesStreamId(clip.Type()), streamIds[c]);
        // Half-way through the second loop the 33-bit PTS wraps.
        const uint64_t first = stream::kPtsModulus - clip.LoopDuration90k() * 3 / 2 + 7;
        stream::ElementaryPlayer player(clip, first);
        EXPECT_EQ(&player.GetClip(), &clip);
        std::vector<uint8_t> pes;
        const uint8_t* buffer = nullptr;
        int wraps = 0;
        uint64_t previous = 0;
        for (std::size_t n = 0; n < 3 * clip.Count(); ++n) {
            const std::size_t i = n % clip.Count();
            const uint64_t expected = first + n * clip.UnitDuration90k();
            ASSERT_EQ(player.NextPts(), expected) << "unbounded, not wrapped";
            const std::size_t size = player.NextPesSize();
            player.NextPes(pes);
            ASSERT_EQ(pes.size(), size);
            ASSERT_EQ(player.UnitsPlayed(), n + 1);
            const auto unit = clip.Unit(i);
            ASSERT_EQ(pes.size(), stream::kPesHeaderSize + unit.size());
            EXPECT_EQ(pes[0], 0);
            EXPECT_EQ(pes[1], 0);
            EXPECT_EQ(pes[2], 1);
            EXPECT_EQ(pes[3], streamIds[c]);
            EXPECT_EQ(std::size_t{pes[4]} << 8 | pes[5], pes.size() - 6u);
            EXPECT_EQ(pes[6], 0x84) << "data_alignment_indicator, not scrambled";
            EXPECT_EQ(pes[7], 0x80) << "PTS, no DTS";
            EXPECT_EQ(pes[8], 5);
            EXPECT_EQ(pes[9] & 0xF1, 0x21) << "'0010' and the marker bits";
            EXPECT_EQ(pes[11] & 1, 1);
            EXPECT_EQ(pes[13] & 1, 1);
            const uint64_t pts = ReadPts(&pes[9]);
            EXPECT_EQ(pts, expected % stream::kPtsModulus);
            if (n > 0) {
                EXPECT_EQ((pts + stream::kPtsModulus - previous) % stream::kPtsModulus, clip.UnitDuration90k())
                    << "exact steps, across loops and the wrap";
                if (pts < previous) ++wraps;
            }
            previous = pts;
            EXPECT_TRUE(std::equal(unit.begin(), unit.end(), pes.begin() + stream::kPesHeaderSize));
            // From the second loop on, the buffer has its largest size and is reused.
            if (n == clip.Count()) buffer = pes.data();
            if (n > clip.Count()) {
                ASSERT_EQ(pes.data(), buffer) << "no allocation once warm";
            }
        }
        EXPECT_EQ(wraps, 1);
        EXPECT_EQ(player.NextPts(), first + 3 * clip.LoopDuration90k());
    }
}

TEST(Pes, LengthZeroOnlyForVideoUnitsTooLongForTheField) {
    std::vector<uint8_t> pes;
    const std::vector<uint8_t> fits(0xFFFF - 8, 0x5A), over(0xFFFF - 7, 0xA5);
    stream::WritePes(sky::StreamType::H264Video, 0, fits, pes);
    EXPECT_EQ(pes[4], 0xFF);
    EXPECT_EQ(pes[5], 0xFF);
    stream::WritePes(sky::StreamType::Mpeg2Video, 0x1FFFFFFFFull, over, pes);
    EXPECT_EQ(pes.size(), stream::kPesHeaderSize + over.size());
    EXPECT_EQ(pes[4], 0);
    EXPECT_EQ(pes[5], 0);
    EXPECT_EQ(ReadPts(&pes[9]), 0x1FFFFFFFFull);
    EXPECT_EQ(pes.back(), 0xA5);
    stream::WritePes(sky::StreamType::Mpeg1Layer2Audio, 0, fits, pes);
    EXPECT_EQ(std::size_t{pes[4]} << 8 | pes[5], 0xFFFFu);
    EXPECT_THROW(stream::WritePes(sky::StreamType::Mpeg1Layer2Audio, 0, over, pes), std::length_error);
    EXPECT_THROW(stream::WritePes(sky::StreamType::Ac3Audio, 0, over, pes), std::length_error);
}

TEST(TsPackets, PesCutIntoPacketsWithStartFlagAndStuffingReassembles) {
    stream::ClipLibrary library(ContentFolder().string());
    std::vector<std::vector<uint8_t>> samples;
    // Every way the last piece can fall: 1..184 bytes, and whole packets only.
    for (std::size_t size : {1u, 2u, 14u, 182u, 183u, 184u, 185u, 366u, 367u, 368u, 369u, 1000u, 70000u}) {
        std::vector<uint8_t> pes(size);
        for (std::size_t i = 0; i < size; ++i) pes[i] = static_cast<uint8_t>(i * 7 + size);
        samples.push_back(std::move(pes));
    }
    stream::ElementaryPlayer player(library.Get("kyma-hd", sky::StreamType::H264Video), 900);
    for (int i = 0; i < 13; ++i) {
        samples.emplace_back();
        player.NextPes(samples.back());
    }
    std::vector<stream::Packet> out(1);
    out[0].fill(0x33);  // appended to, never overwritten
    for (const auto& pes : samples) {
        SCOPED_TRACE(pes.size());
        const std::size_t before = out.size();
        stream::PacketizePes(0x1ABC, pes, out);
        ASSERT_EQ(out.size() - before, stream::PacketsForPes(pes.size()));
        ASSERT_EQ(out.size() - before, (pes.size() + 183) / 184);
        std::vector<uint8_t> payload;
        for (std::size_t k = before; k < out.size(); ++k) {
            const auto& p = out[k];
            const TsView v = View(p);
            EXPECT_EQ(p[0], 0x47);
            EXPECT_EQ(p[1] & 0x80, 0) << "transport_error_indicator";
            EXPECT_EQ(v.pid, 0x1ABC);
            EXPECT_EQ(v.unitStart, k == before);
            EXPECT_EQ(p[3] >> 6, 0) << "not scrambled";
            EXPECT_EQ(v.counter, 0) << "left to the multiplexer";
            const bool last = k + 1 == out.size();
            const bool full = pes.size() % 184 == 0;
            if (!last || full) {
                EXPECT_EQ(v.adaptationControl, stream::kPayloadOnly);
            } else {
                EXPECT_EQ(v.adaptationControl, stream::kAdaptationAndPayload);
                const std::size_t length = p[4];
                EXPECT_EQ(length, 183 - pes.size() % 184);
                if (length > 0) {
                    EXPECT_EQ(p[5], 0) << "no flags: no PCR, no discontinuity";
                    for (std::size_t s = 6; s < 5 + length; ++s) ASSERT_EQ(p[s], 0xFF) << s;
                }
            }
            payload.insert(payload.end(), p.begin() + static_cast<std::ptrdiff_t>(v.payloadOffset), p.end());
        }
        EXPECT_EQ(payload, pes);
    }
    EXPECT_EQ(out[0][0], 0x33);
    EXPECT_EQ(out[0][187], 0x33);
}
