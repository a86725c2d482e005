// The multiplexer's timing over long stretches of every multiplex (rate, continuity, PCR
// spacing and accuracy, table repetition, timestamps ahead of arrival), and what a box
// emits as its state decides: lock, PID filter, lost blocks, the module's descrambling
// under EN 50221 list management, and the switch on a retune.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "BoxStream.h"
#include "CaModule.h"
#include "CaPmtReader.h"
#include "FrontEndLogic.h"
#include "FrontEndRecords.h"
#include "Multiplexer.h"
#include "PropertyLogic.h"
#include "Sky.h"
#include "es/ClipLibrary.h"

namespace {

using namespace tunersim;
using Bytes = std::vector<uint8_t>;

constexpr uint64_t kClockHz = 27000000;
constexpr int64_t kStartUnixMs = 1796000000000;  // 2026-11-30, a little before a half hour

stream::ClipLibrary& Clips() {
    static stream::ClipLibrary clips(std::string(OMBREL_SOURCE_DIR) + "/simulator/content");
    return clips;
}

struct Header {
    uint16_t pid;
    bool start, error, hasPayload, hasAdaptation;
    uint8_t scrambling, counter;
};

Header Parse(const uint8_t* p) {
    return {static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]), (p[1] & 0x40) != 0, (p[1] & 0x80) != 0,
            (p[3] & 0x10) != 0, (p[3] & 0x20) != 0, static_cast<uint8_t>(p[3] >> 6), static_cast<uint8_t>(p[3] & 0x0F)};
}

std::size_t PayloadAt(const uint8_t* p) { return (p[3] & 0x20) ? 5 + p[4] : 4; }

bool HasPcr(const uint8_t* p) { return (p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10); }

uint64_t Pcr(const uint8_t* p) {
    const uint64_t base = uint64_t{p[6]} << 25 | uint64_t{p[7]} << 17 | uint64_t{p[8]} << 9 | uint64_t{p[9]} << 1 | p[10] >> 7;
    return base * 300 + ((p[10] & 1) << 8 | p[11]);
}

uint64_t Pts(const uint8_t* pes) {
    return (uint64_t{pes[9]} >> 1 & 7) << 30 | uint64_t{pes[10]} << 22 | (uint64_t{pes[11]} >> 1) << 15 |
           uint64_t{pes[12]} << 7 | pes[13] >> 1;
}

// Continuity: each payload packet of a PID counts on by one; a packet without payload repeats.
struct ContinuityCheck {
    std::map<uint16_t, int> last;
    int gaps = 0;
    void See(const Header& h) {
        if (h.pid == 0x1FFF) return;
        auto it = last.find(h.pid);
        if (it != last.end()) {
            const int expected = h.hasPayload ? (it->second + 1) & 0xF : it->second;
            if (h.counter != expected) ++gaps;
        }
        last[h.pid] = h.counter;
    }
};

TEST(Multiplexer, ThirtySecondsOfEveryMultiplexKeepRateContinuityPcrAndTableRepetition) {
    for (const auto& m : sky::Multiplexes()) {
        SCOPED_TRACE(m.name);
        stream::ContinuityCounters counters;
        stream::Multiplexer mux(m, Clips(), kStartUnixMs, counters, false);
        const uint64_t rate = sky::UsefulBitrate(m);
        const std::size_t packets = static_cast<std::size_t>(30 * rate / 1504);
        Bytes ts(packets * 188);
        mux.Make(ts.data(), packets);
        ASSERT_EQ(mux.PacketsMade(), packets);

        ContinuityCheck continuity;
        std::map<uint16_t, uint64_t> lastPcr;       // by PID
        std::map<uint16_t, uint64_t> widestPcrGap;
        std::map<std::pair<uint16_t, uint32_t>, uint64_t> lastTable, widestTableGap;  // (pid, table & extension)
        std::map<uint16_t, uint64_t> lastPts;
        std::map<uint16_t, int> pesStarts;
        std::size_t nulls = 0;
        for (std::size_t i = 0; i < packets; ++i) {
            const uint8_t* p = ts.data() + i * 188;
            ASSERT_EQ(p[0], 0x47);
            const Header h = Parse(p);
            const uint64_t at = i * 1504 * kClockHz / rate;  // the packet's time on the stream's clock
            continuity.See(h);
            if (h.pid == 0x1FFF) ++nulls;
            if (HasPcr(p)) {
                // A PCR tells its packet's own time, so a receiver's clock runs at the multiplex's rate.
                EXPECT_LE(Pcr(p) > at ? Pcr(p) - at : at - Pcr(p), 1u);
                if (lastPcr.count(h.pid)) widestPcrGap[h.pid] = std::max(widestPcrGap[h.pid], at - lastPcr[h.pid]);
                lastPcr[h.pid] = at;
            }
            if (!h.start || !h.hasPayload) continue;
            const uint8_t* payload = p + PayloadAt(p);
            if (payload[0] == 0 && payload[1] == 0 && payload[2] == 1) {  // a PES packet starts
                const uint64_t pts = Pts(payload);
                // Presented after it arrives, and no later than the longest lead (400 ms).
                EXPECT_GT(pts * 300, at);
                EXPECT_LE(pts * 300, at + kClockHz * 4 / 10 + kClockHz / 100);
                if (lastPts.count(h.pid)) {
                    EXPECT_GT(pts, lastPts[h.pid]);
                }
                lastPts[h.pid] = pts;
                ++pesStarts[h.pid];
                continue;
            }
            const uint8_t* section = payload + 1 + payload[0];
            const uint8_t table = section[0];
            const bool longSection = section[1] & 0x80;
            uint32_t key = table << 16;
            if (longSection && (table == 0x02 || table == 0x4E)) key |= section[3] << 8 | section[4];
            if (table == 0x4E && section[6] != 0) continue;  // one gap per service: its present section
            const auto k = std::make_pair(h.pid, key);
            if (lastTable.count(k)) widestTableGap[k] = std::max(widestTableGap[k], at - lastTable[k]);
            lastTable[k] = at;
        }
        EXPECT_EQ(continuity.gaps, 0);
        EXPECT_GT(nulls, 0u);  // the multiplex's useful rate is filled up with null packets

        // Every program's PCR within 40 ms, every elementary stream flowing.
        for (const auto& s : m.services) {
            ASSERT_TRUE(widestPcrGap.count(s.pcrPid)) << s.name.utf8;
            EXPECT_LE(widestPcrGap[s.pcrPid], kClockHz * 40 / 1000) << s.name.utf8;
            for (const auto& es : s.streams) EXPECT_GT(pesStarts[es.pid], 30) << es.pid;
        }
        // Each table within its limit: PAT and PMT 0.5 s, SDT and EIT p/f 2 s, NIT 10 s,
        // TDT 30 s; ATSC MGT and VCT 0.5 s, STT 1.5 s.
        std::map<uint8_t, uint64_t> limitMs{{0x00, 500}, {0x02, 500}, {0x42, 2000}, {0x4E, 2000}, {0x40, 10000},
                                            {0x70, 30000}, {0x73, 30000}, {0xC7, 500}, {0xC8, 500}, {0xCD, 1500}};
        std::set<uint8_t> seen;
        for (const auto& [k, gap] : widestTableGap) {
            const uint8_t table = static_cast<uint8_t>(k.second >> 16);
            seen.insert(table);
            ASSERT_TRUE(limitMs.count(table)) << int(table);
            EXPECT_LE(gap, kClockHz / 1000 * limitMs[table]) << "table 0x" << std::hex << int(table);
        }
        const std::set<uint8_t> expected = sky::IsAtsc(m)
            ? std::set<uint8_t>{0x00, 0x02, 0xC7, 0xC8, 0xCD}
            : std::set<uint8_t>{0x00, 0x02, 0x40, 0x42, 0x4E, 0x70, 0x73};
        EXPECT_EQ(seen, expected);
        if (!sky::IsAtsc(m)) {
            std::size_t eitServices = 0;
            for (const auto& [k, gap] : widestTableGap) eitServices += (k.second >> 16) == 0x4E;
            EXPECT_EQ(eitServices, m.services.size());
        }
    }
}

// A box on a bare record, as the simulated driver keeps it.
struct Box {
    layout::DeviceRecord d;
    int64_t now = 1'000'000'000;

    explicit Box(uint8_t modelCode) {
        std::memset(&d, 0, sizeof d);
        d.used = d.plugged = 1;
        d.productLine = 1;
        d.modelCode = modelCode;
        d.ci.slot = 1;
        frontend::Init(d.frontEnd);
        d.frontEnd.settleMs = 0;
    }
    property::Outcome Set(unsigned property, const Bytes& b) {
        return property::Set(d, property, b.data(), static_cast<uint32_t>(b.size()), {}, now, nullptr).outcome;
    }
    void Tune(const sky::Multiplex& m) {
        Bytes b(12, 0);
        if (sky::IsSatellite(m)) {
            frontend::WriteLe32(b.data(), m.frequencyKHz);
            frontend::WriteLe32(b.data() + 4, m.symbolRate);
            b[8] = m.polarisation;
            // The dish switch first: a committed DiSEqC 1.0 command for the multiplex's input.
            Bytes diseqc(25, 0);
            const uint8_t message[] = {0xE0, 0x10, 0x38, static_cast<uint8_t>(0xF0 | m.input << 2)};
            diseqc[0] = 4;
            std::copy(std::begin(message), std::end(message), diseqc.begin() + 1);
            ASSERT_EQ(Set(12, diseqc), property::Outcome::Ok);
            ASSERT_EQ(Set(0, b), property::Outcome::Ok);
        } else {
            frontend::WriteLe32(b.data(), m.frequencyKHz);
            b[4] = m.bandwidthMHz;
            ASSERT_EQ(Set(5, b), property::Outcome::Ok);
        }
        now += 10;
    }
    void Pids(std::initializer_list<uint16_t> pids) {
        Bytes b(60, 0);
        b[0] = static_cast<uint8_t>(pids.size());
        std::size_t at = 2;
        for (uint16_t pid : pids) {
            b[at++] = static_cast<uint8_t>(pid);
            b[at++] = static_cast<uint8_t>(pid >> 8);
        }
        ASSERT_EQ(Set(2, b), property::Outcome::Ok);
    }
    // A CA PMT as the library sends it: list management, command, then the PMT section.
    property::Outcome CaPmt(uint8_t listManagement, uint8_t command, const Bytes& pmt) {
        Bytes message(1036, 0);
        message[1] = 2;
        const std::size_t length = pmt.size() + 2;
        message[8] = static_cast<uint8_t>(length);
        message[9] = static_cast<uint8_t>(length >> 8);
        message[10] = listManagement;
        message[11] = command;
        std::copy(pmt.begin(), pmt.end(), message.begin() + 12);
        return ca::Set(d.ci, ca::kCommandProperty, message.data(), 1036).outcome;
    }
};

// A PMT section with a CA descriptor for the given CA system (or none).
Bytes PmtSection(uint16_t program, uint16_t caSystem) {
    Bytes s{0x02, 0xB0, 0, static_cast<uint8_t>(program >> 8), static_cast<uint8_t>(program), 0xC1, 0, 0, 0xE1, 0x00};
    const Bytes ca = caSystem ? Bytes{0x09, 4, static_cast<uint8_t>(caSystem >> 8), static_cast<uint8_t>(caSystem), 0xFF, 0x01}
                              : Bytes{};
    s.push_back(static_cast<uint8_t>(0xF0));
    s.push_back(static_cast<uint8_t>(ca.size()));
    s.insert(s.end(), ca.begin(), ca.end());
    s.insert(s.end(), {0x02, 0xE1, 0x00, 0xF0, 0x00});  // one video stream
    s.insert(s.end(), {0, 0, 0, 0});                    // CRC (the module does not check it)
    s[2] = static_cast<uint8_t>(s.size() - 3);
    return s;
}

struct Capture {
    Bytes ts;
    std::size_t packets = 0;
};

Capture Emit(stream::BoxStream& stream, const Box& box, double seconds) {
    stream.Follow(stream::ViewOf(box.d, box.now), box.now);
    Capture c;
    const std::size_t slots = static_cast<std::size_t>(seconds * stream.Bitrate() / 1504);
    c.packets = stream.Make(slots, c.ts);
    return c;
}

// Packets with payload on a PID and how many of them are marked scrambled.
std::pair<int, int> PayloadAndScrambled(const Capture& c, uint16_t pid) {
    int payload = 0, scrambled = 0;
    for (std::size_t i = 0; i < c.packets; ++i) {
        const Header h = Parse(c.ts.data() + i * 188);
        if (h.pid != pid || !h.hasPayload) continue;
        ++payload;
        scrambled += h.scrambling != 0;
    }
    return {payload, scrambled};
}

const sky::Multiplex& Named(const char* name) { return sky::Multiplexes()[sky::IndexOf(name)]; }

TEST(BoxStream, FlowsOnlyWhileLockedAndSwitchesVisiblyOnRetune) {
    Box box(0x34);  // satellite, with a slot
    stream::BoxStream stream(Clips());
    EXPECT_EQ(Emit(stream, box, 0.1).packets, 0u);  // not tuned
    EXPECT_FALSE(stream.Flowing());

    const auto& first = Named("A 10744 H");
    box.Tune(first);
    Capture c = Emit(stream, box, 1.0);
    ASSERT_TRUE(stream.Flowing());
    EXPECT_EQ(stream.Bitrate(), sky::UsefulBitrate(first));
    EXPECT_EQ(c.packets, static_cast<std::size_t>(1.0 * stream.Bitrate() / 1504));  // the open filter passes all

    // Retuned elsewhere: a new stream whose first PCRs flag the new time base and whose
    // PAT names the other transport stream; counters of PIDs both carry count on.
    const auto& second = Named("B 11623 V");
    ContinuityCheck continuity;
    for (std::size_t i = 0; i < c.packets; ++i) continuity.See(Parse(c.ts.data() + i * 188));
    box.Tune(second);
    c = Emit(stream, box, 1.0);
    EXPECT_EQ(stream.Starts(), 2u);
    bool discontinuityFlagged = false, newPat = false;
    for (std::size_t i = 0; i < c.packets; ++i) {
        const uint8_t* p = c.ts.data() + i * 188;
        const Header h = Parse(p);
        continuity.See(h);
        if (HasPcr(p) && (p[5] & 0x80)) discontinuityFlagged = true;
        if (h.pid == 0 && h.start) newPat |= (p[5 + 3] << 8 | p[5 + 4]) == second.transportStreamId;
    }
    EXPECT_TRUE(discontinuityFlagged);
    EXPECT_TRUE(newPat);
    EXPECT_EQ(continuity.gaps, 0);

    // Power off loses lock: nothing flows.
    ASSERT_EQ(box.Set(15, {0}), property::Outcome::Ok);
    EXPECT_EQ(Emit(stream, box, 0.1).packets, 0u);
    EXPECT_FALSE(stream.Flowing());
}

TEST(BoxStream, PidFilterPassesOnlyItsList) {
    Box box(0x34);
    stream::BoxStream stream(Clips());
    box.Tune(Named("A 12188 H"));
    box.Pids({0x0000, 0x0101, 0x0210});
    Capture c = Emit(stream, box, 1.0);
    std::set<uint16_t> pids;
    for (std::size_t i = 0; i < c.packets; ++i) pids.insert(Parse(c.ts.data() + i * 188).pid);
    EXPECT_EQ(pids, (std::set<uint16_t>{0x0000, 0x0101, 0x0210}));
    box.Pids({});
    EXPECT_EQ(Emit(stream, box, 0.2).packets, 0u);  // an empty list passes nothing
    box.Pids({0x2000});
    c = Emit(stream, box, 0.2);
    EXPECT_EQ(c.packets, static_cast<std::size_t>(0.2 * stream.Bitrate() / 1504));
}

TEST(BoxStream, WeakMultiplexesLoseBlocksAtTheRateTheyReport) {
    for (const char* name : {"A 12603 V", "T 658 MHz", "A 10744 H"}) {
        SCOPED_TRACE(name);
        const auto& m = Named(name);
        Box box(sky::IsSatellite(m) ? 0x34 : 0x35);
        stream::BoxStream stream(Clips());
        box.Tune(m);
        const Capture c = Emit(stream, box, 60.0);
        ContinuityCheck continuity;
        int errors = 0;
        for (std::size_t i = 0; i < c.packets; ++i) {
            const Header h = Parse(c.ts.data() + i * 188);
            errors += h.error;
            continuity.See(h);
        }
        const int perMinute = static_cast<int>(m.figures.lostBlocksPerMinute);
        // One transport error and one lost packet per lost block, spread at random.
        EXPECT_NEAR(errors, perMinute, perMinute * 0.25 + 0.5);
        EXPECT_NEAR(continuity.gaps, perMinute, perMinute * 0.25 + 0.5);
    }
}

TEST(BoxStream, ScrambledUntilTheReadyModuleDescramblesUnderListManagement) {
    const auto& m = Named("A 11597 V");
    const sky::Service* pay = nullptr;
    for (const auto& s : m.services)
        if (s.scrambled) pay = &s;
    ASSERT_NE(pay, nullptr);
    const uint16_t video = pay->streams.front().pid;
    const uint16_t clearVideo = m.services[1].streams.front().pid;

    Box box(0x34);
    stream::BoxStream stream(Clips());
    box.Tune(m);
    const auto scrambledShare = [&] {
        const auto [payload, scrambled] = PayloadAndScrambled(Emit(stream, box, 0.5), video);
        EXPECT_GT(payload, 0);
        return payload ? static_cast<double>(scrambled) / payload : -1;
    };
    EXPECT_EQ(scrambledShare(), 1.0);  // no module
    const auto [clearPayload, clearScrambled] = PayloadAndScrambled(Emit(stream, box, 0.5), clearVideo);
    EXPECT_GT(clearPayload, 0);
    EXPECT_EQ(clearScrambled, 0);

    ca::Insert(box.d.ci);
    const Bytes pmt = PmtSection(pay->id, sky::kCaSystemId);
    EXPECT_EQ(box.CaPmt(3, 1, pmt), property::Outcome::Fail);  // still starting up
    EXPECT_EQ(scrambledShare(), 1.0);
    ca::MakeReady(box.d.ci);
    ASSERT_EQ(box.CaPmt(3, 1, pmt), property::Outcome::Ok);    // only, ok_descrambling
    EXPECT_EQ(scrambledShare(), 0.0);
    ASSERT_EQ(box.CaPmt(3, 3, pmt), property::Outcome::Ok);    // a query changes nothing
    EXPECT_EQ(scrambledShare(), 0.0);
    ASSERT_EQ(box.CaPmt(5, 4, pmt), property::Outcome::Ok);    // update: not_selected
    EXPECT_EQ(scrambledShare(), 1.0);
    ASSERT_EQ(box.CaPmt(5, 1, pmt), property::Outcome::Ok);    // update of a program not in the list
    EXPECT_EQ(scrambledShare(), 1.0);
    // first / more / last: a list that holds it.
    ASSERT_EQ(box.CaPmt(1, 1, PmtSection(0x1022, sky::kCaSystemId)), property::Outcome::Ok);
    ASSERT_EQ(box.CaPmt(0, 1, PmtSection(0x1023, 0)), property::Outcome::Ok);
    EXPECT_EQ(scrambledShare(), 1.0);
    ASSERT_EQ(box.CaPmt(2, 1, pmt), property::Outcome::Ok);
    EXPECT_EQ(scrambledShare(), 0.0);
    // A new list without it ends the descrambling; add brings it back.
    ASSERT_EQ(box.CaPmt(3, 1, PmtSection(0x1022, sky::kCaSystemId)), property::Outcome::Ok);
    EXPECT_EQ(scrambledShare(), 1.0);
    ASSERT_EQ(box.CaPmt(4, 1, pmt), property::Outcome::Ok);
    EXPECT_EQ(scrambledShare(), 0.0);
    // A PMT that does not name the module's CA system cannot be descrambled.
    ASSERT_EQ(box.CaPmt(3, 1, PmtSection(pay->id, 0x0B00)), property::Outcome::Ok);
    EXPECT_EQ(scrambledShare(), 1.0);
    ASSERT_EQ(box.CaPmt(3, 1, pmt), property::Outcome::Ok);
    EXPECT_EQ(scrambledShare(), 0.0);
    // Removing the module scrambles it again, and a module inserted anew starts with no list.
    ca::Remove(box.d.ci);
    EXPECT_EQ(scrambledShare(), 1.0);
    ca::Insert(box.d.ci);
    ca::MakeReady(box.d.ci);
    EXPECT_EQ(scrambledShare(), 1.0);
    // A count damaged in the state file: the module reads no further than its list holds,
    // takes nothing into a list it must count as full, and a new list starts it afresh.
    std::memset(box.d.ci.list, 0, sizeof box.d.ci.list);
    box.d.ci.listCount = 0xFFFFFFFF;
    EXPECT_EQ(scrambledShare(), 1.0);
    ASSERT_EQ(box.CaPmt(4, 1, pmt), property::Outcome::Ok);  // add
    EXPECT_EQ(scrambledShare(), 1.0);
    ASSERT_EQ(box.CaPmt(3, 1, pmt), property::Outcome::Ok);  // only
    EXPECT_EQ(box.d.ci.listCount, 1u);
    EXPECT_EQ(scrambledShare(), 0.0);
}

TEST(CaPmtReader, ReadsCaSystemsOnlyFromWholeLoops) {
    const Bytes pmt = PmtSection(0x1021, sky::kCaSystemId);
    auto read = ca::ReadPmtSection(pmt);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->program, 0x1021);
    EXPECT_TRUE(read->complete);
    EXPECT_TRUE(ca::Names(*read, sky::kCaSystemId));
    for (std::size_t cut = 5; cut < pmt.size(); ++cut) {  // every truncation keeps the program, names nothing
        read = ca::ReadPmtSection({pmt.data(), cut});
        ASSERT_TRUE(read);
        EXPECT_EQ(read->program, 0x1021);
        EXPECT_FALSE(read->complete) << cut;
    }
    Bytes longDescriptor = pmt;
    longDescriptor[13] = 0x40;  // the CA descriptor claims more than the loop holds
    read = ca::ReadPmtSection(longDescriptor);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->complete);
    EXPECT_TRUE(read->caSystems.empty());
    EXPECT_FALSE(ca::ReadPmtSection(Bytes{0x42, 0xB0, 0x10, 0x10, 0x21}));
    EXPECT_FALSE(ca::ReadPmtSection(Bytes{0x02, 0xB0, 0x10, 0x10}));
}

}  // namespace
