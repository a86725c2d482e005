// EIT present/following, TDT and TOT, read by libdvbpsi as the clock runs.
#include <gtest/gtest.h>

#include "DvbpsiReader.h"

extern "C" {
#include <dvbpsi/dr_4d.h>
#include <dvbpsi/dr_58.h>
}

#include "IconvText.h"
#include "Sky.h"
#include "TsPacket.h"
#include "psi/Tables.h"

using namespace tunersim;
namespace psi = tunersim::stream::psi;
using psitest::Reader;

namespace {

// 2024-03-31 00:29:40 UTC, 20 s before a slot boundary: MJD 60400 (0xEBF0).
constexpr int64_t kBeforeBoundary = 1711844980;
constexpr uint64_t kMjd = 0xEBF0;
constexpr uint64_t UtcField(uint64_t mjd, uint32_t bcdTime) { return mjd << 24 | bcdTime; }

struct SeenEvent {
    uint16_t id;
    uint64_t start;
    uint32_t duration;
    uint8_t running;
    bool freeCa;
    std::string language;
    std::string title;
};

std::vector<SeenEvent> Events(const dvbpsi_eit_t& eit) {
    std::vector<SeenEvent> events;
    for (auto* e = eit.p_first_event; e != nullptr; e = e->p_next) {
        SeenEvent seen{e->i_event_id, e->i_start_time, e->i_duration, e->i_running_status, e->b_free_ca, {}, {}};
        const auto shorts = psitest::DescriptorsWithTag(e->p_first_descriptor, 0x4D);
        if (shorts.size() == 1) {
            const auto* d = dvbpsi_DecodeShortEventDr(shorts.front());
            if (d != nullptr) {
                seen.language.assign(reinterpret_cast<const char*>(d->i_iso_639_code), 3);
                seen.title = psitest::DvbTextToUtf8(d->i_event_name, static_cast<std::size_t>(d->i_event_name_length));
            }
        }
        events.push_back(seen);
    }
    return events;
}

std::string AudioLanguage(const sky::Service& s) {
    for (const auto& es : s.streams)
        if (!sky::IsVideo(es.type)) return es.language;
    return {};
}

}  // namespace

TEST(PsiEventTables, PresentAndFollowingFollowTheClockAcrossASlotBoundary) {
    for (const auto& m : sky::Multiplexes()) {
        for (const auto& s : m.services) {
            SCOPED_TRACE(m.name + " / " + s.name.utf8);
            if (sky::IsAtsc(m)) {
                EXPECT_TRUE(psi::EitPresentFollowing(m, s, kBeforeBoundary).empty());
                continue;
            }
            Reader reader(Reader::Kind::Si);
            // The receiver sees the table every 10 s from 00:29:40 to 00:30:20 (the reader
            // hands a table over once it has seen it repeated).
            for (int64_t t = kBeforeBoundary; t <= kBeforeBoundary + 40; t += 10) {
                const auto sections = psi::EitPresentFollowing(m, s, t);
                ASSERT_EQ(sections.size(), 2u);
                EXPECT_TRUE(reader.Push(stream::kEitPid, sections));
            }
            EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
            // The slot from 00:00 and the one from 00:30, each with a version of its own.
            ASSERT_GE(reader.eits.size(), 2u);
            const auto& before = *reader.eits.front();
            const auto& after = *reader.eits.back();
            for (const auto& eit : reader.eits) EXPECT_TRUE(eit->i_version == before.i_version || eit->i_version == after.i_version);
            for (const auto* eit : {&before, &after}) {
                EXPECT_EQ(eit->i_table_id, 0x4E);
                EXPECT_EQ(eit->i_extension, s.id);
                EXPECT_EQ(eit->i_ts_id, m.transportStreamId);
                EXPECT_EQ(eit->i_network_id, m.originalNetworkId);
                EXPECT_EQ(eit->i_last_table_id, 0x4E);
            }
            EXPECT_EQ(after.i_version, (before.i_version + 1) % 32);

            // Slot 951024 began at 00:00:00; the titles take turns.
            const auto title = [&](int64_t slot) { return psitest::AsCoded(s.events[static_cast<std::size_t>(slot) % s.events.size()]); };
            const auto first = Events(before);
            const auto second = Events(after);
            ASSERT_EQ(first.size(), 2u);
            ASSERT_EQ(second.size(), 2u);
            const SeenEvent expected[3] = {
                {static_cast<uint16_t>(951024 & 0xFFFF), UtcField(kMjd, 0x000000), 0x003000, 4, s.scrambled, AudioLanguage(s), title(951024)},
                {static_cast<uint16_t>(951025 & 0xFFFF), UtcField(kMjd, 0x003000), 0x003000, 0, s.scrambled, AudioLanguage(s), title(951025)},
                {static_cast<uint16_t>(951026 & 0xFFFF), UtcField(kMjd, 0x010000), 0x003000, 1, s.scrambled, AudioLanguage(s), title(951026)},
            };
            const auto same = [](const SeenEvent& got, const SeenEvent& want, uint8_t running) {
                EXPECT_EQ(got.id, want.id);
                EXPECT_EQ(got.start, want.start);
                EXPECT_EQ(got.duration, want.duration);
                EXPECT_EQ(got.running, running);
                EXPECT_EQ(got.freeCa, want.freeCa);
                EXPECT_EQ(got.language, want.language);
                EXPECT_EQ(got.title, want.title);
            };
            same(first[0], expected[0], 4);   // running
            same(first[1], expected[1], 1);   // not yet running
            same(second[0], expected[1], 4);  // the following event is now the present one
            same(second[1], expected[2], 1);

            const psi::Event event = psi::EventAt(s, kBeforeBoundary);
            EXPECT_EQ(event.startUnix, kBeforeBoundary - 29 * 60 - 40);
            EXPECT_EQ(event.durationSeconds, 1800u);
            ASSERT_NE(event.title, nullptr);
            EXPECT_EQ(event.title, &s.events[951024 % s.events.size()]);
        }
    }
    // The first service of the sky, spelt out: three titles, slot 951024 is the first.
    const auto& asterEins = sky::Multiplexes().front().services.front();
    EXPECT_EQ(psi::EventAt(asterEins, kBeforeBoundary).title->utf8, "Nachrichten");
    EXPECT_EQ(psi::EventAt(asterEins, kBeforeBoundary + 20).title->utf8, "Wetter");
    EXPECT_EQ(psi::EventAt(asterEins, kBeforeBoundary + 20 + 3600).title->utf8, "Nachrichten");
}

TEST(PsiEventTables, AServiceWithoutTitlesHasEmptyPresentAndFollowing) {
    const auto& m = sky::Multiplexes().front();
    sky::Service s = m.services.front();
    s.events.clear();
    EXPECT_EQ(psi::EventAt(s, kBeforeBoundary).title, nullptr);
    Reader reader(Reader::Kind::Si);
    EXPECT_TRUE(reader.Push(stream::kEitPid, psi::EitPresentFollowing(m, s, kBeforeBoundary)));
    EXPECT_TRUE(reader.Push(stream::kEitPid, psi::EitPresentFollowing(m, s, kBeforeBoundary + 1)));
    EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
    ASSERT_EQ(reader.eits.size(), 1u);
    EXPECT_EQ(reader.eits.front()->p_first_event, nullptr);
}

TEST(PsiTimeTables, TdtAndTotCarryUtcAndTheRegionsOffsetWithItsNextChange) {
    struct Case {
        int64_t unix;
        uint64_t utc;           // MJD and BCD time
        uint16_t offset;        // BCD hhmm
        uint64_t change;        // the next change
        uint16_t nextOffset;
    };
    const Case cases[] = {
        // 2024-01-15 12:00:00, winter: summer time begins 2024-03-31 01:00 UTC.
        {1705320000, UtcField(0xEBA4, 0x120000), 0x0100, UtcField(0xEBF0, 0x010000), 0x0200},
        // 2024-03-31 00:29:40, the last winter hour.
        {kBeforeBoundary, UtcField(kMjd, 0x002940), 0x0100, UtcField(0xEBF0, 0x010000), 0x0200},
        // 2024-03-31 01:00:00, summer time: it ends 2024-10-27 01:00 UTC.
        {1711846800, UtcField(0xEBF0, 0x010000), 0x0200, UtcField(0xECC2, 0x010000), 0x0100},
        // 2024-10-27 01:00:00, winter again until 2025-03-30 01:00 UTC.
        {1729990800, UtcField(0xECC2, 0x010000), 0x0100, UtcField(0xED5C, 0x010000), 0x0200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unix);
        Reader reader(Reader::Kind::Si);
        EXPECT_TRUE(reader.Push(stream::kTdtPid, {psi::Tdt(c.unix), psi::Tot(c.unix)}));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
        ASSERT_EQ(reader.tots.size(), 2u);
        const auto& tdt = *reader.tots[0];
        const auto& tot = *reader.tots[1];
        EXPECT_EQ(tdt.i_table_id, 0x70);
        EXPECT_EQ(tdt.i_utc_time, c.utc);
        EXPECT_EQ(tdt.p_first_descriptor, nullptr);
        EXPECT_EQ(tot.i_table_id, 0x73);
        EXPECT_EQ(tot.i_utc_time, c.utc);
        const auto offsets = psitest::DescriptorsWithTag(tot.p_first_descriptor, 0x58);
        ASSERT_EQ(offsets.size(), 1u);
        const auto* d = dvbpsi_DecodeLocalTimeOffsetDr(offsets.front());
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->i_local_time_offsets_number, 1);
        const auto& o = d->p_local_time_offset[0];
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(o.i_country_code), 3), "DEU");
        EXPECT_EQ(o.i_country_region_id, 0);
        EXPECT_EQ(o.i_local_time_offset_polarity, 0);
        EXPECT_EQ(o.i_local_time_offset, c.offset);
        EXPECT_EQ(o.i_time_of_change, c.change);
        EXPECT_EQ(o.i_next_time_offset, c.nextOffset);
    }
    // The reader checks the TOT's CRC: a flipped bit is refused.
    auto tot = psi::Tot(kBeforeBoundary);
    tot[5] ^= 0x01;
    Reader reader(Reader::Kind::Si);
    reader.Push(stream::kTdtPid, {tot});
    EXPECT_TRUE(reader.tots.empty());
    EXPECT_FALSE(reader.Messages().empty());
}
