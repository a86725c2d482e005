// MGT, TVCT and STT of the ATSC multiplexes, read by libdvbpsi.
#include <gtest/gtest.h>

#include "DvbpsiReader.h"

extern "C" {
#include <dvbpsi/dr_a1.h>
}

#include "IconvText.h"
#include "Sky.h"
#include "TsPacket.h"
#include "psi/Tables.h"

using namespace tunersim;
namespace psi = tunersim::stream::psi;
using psitest::Reader;

TEST(PsiAtscTables, MgtListsTheTvctWhichDescribesEveryChannel) {
    std::size_t atscMultiplexes = 0;
    for (const auto& m : sky::Multiplexes()) {
        SCOPED_TRACE(m.name);
        const auto mgtSections = psi::AtscMgt(m);
        const auto tvctSections = psi::AtscTvct(m);
        if (!sky::IsAtsc(m)) {
            EXPECT_TRUE(mgtSections.empty());
            EXPECT_TRUE(tvctSections.empty());
            continue;
        }
        ++atscMultiplexes;
        Reader reader(Reader::Kind::Si);
        EXPECT_TRUE(reader.Push(stream::kAtscBasePid, mgtSections));
        EXPECT_TRUE(reader.Push(stream::kAtscBasePid, tvctSections));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();

        ASSERT_EQ(reader.mgts.size(), 1u);
        const auto& mgt = *reader.mgts.front();
        EXPECT_EQ(mgt.i_table_id, 0xC7);
        ASSERT_NE(mgt.p_first_table, nullptr);
        EXPECT_EQ(mgt.p_first_table->p_next, nullptr);
        EXPECT_EQ(mgt.p_first_table->i_table_type, 0x0000);  // the current TVCT
        EXPECT_EQ(mgt.p_first_table->i_table_type_pid, stream::kAtscBasePid);
        std::size_t tvctBytes = 0;
        for (const auto& section : tvctSections) tvctBytes += section.size();
        EXPECT_EQ(mgt.p_first_table->i_number_bytes, tvctBytes);

        ASSERT_EQ(reader.vcts.size(), 1u);
        const auto& vct = *reader.vcts.front();
        EXPECT_EQ(vct.i_table_id, 0xC8);
        EXPECT_FALSE(vct.b_cable_vct);
        EXPECT_EQ(vct.i_extension, m.transportStreamId);
        EXPECT_EQ(mgt.p_first_table->i_table_type_version, vct.i_version);
        std::size_t index = 0;
        for (auto* c = vct.p_first_channel; c != nullptr; c = c->p_next, ++index) {
            ASSERT_LT(index, m.services.size());
            const auto& s = m.services[index];
            SCOPED_TRACE(s.shortName);
            // short_name: UTF-16, padded with zeros.
            std::string name = psitest::IconvToUtf8("UTF-16BE", c->i_short_name, sizeof c->i_short_name);
            name.erase(name.find_last_not_of('\0') + 1);
            EXPECT_EQ(name, s.shortName);
            EXPECT_EQ(c->i_major_number, s.majorChannel);
            EXPECT_EQ(c->i_minor_number, s.minorChannel);
            EXPECT_EQ(c->i_modulation, 0x04);  // 8VSB
            EXPECT_EQ(c->i_channel_tsid, m.transportStreamId);
            EXPECT_EQ(c->i_program_number, s.id);
            EXPECT_EQ(c->i_service_type, 0x02);  // digital television
            EXPECT_EQ(c->b_access_controlled, s.scrambled);
            EXPECT_FALSE(c->b_hidden);
            EXPECT_EQ(c->i_source_id, s.id);
            const auto locations = psitest::DescriptorsWithTag(c->p_first_descriptor, 0xA1);
            ASSERT_EQ(locations.size(), 1u);
            const auto* location = dvbpsi_DecodeServiceLocationDr(locations.front());
            ASSERT_NE(location, nullptr);
            EXPECT_EQ(location->i_pcr_pid, s.pcrPid);
            ASSERT_EQ(location->i_number_elements, s.streams.size());
            for (std::size_t i = 0; i < s.streams.size(); ++i) {
                const auto& element = location->elements[i];
                EXPECT_EQ(element.i_elementary_pid, s.streams[i].pid);
                EXPECT_EQ(element.i_stream_type, sky::IsVideo(s.streams[i].type) ? 0x02 : 0x81);
                const std::string language(element.i_iso_639_code, 3);
                EXPECT_EQ(language, sky::IsVideo(s.streams[i].type) ? std::string(3, '\0') : s.streams[i].language);
            }
        }
        EXPECT_EQ(index, m.services.size());
    }
    EXPECT_EQ(atscMultiplexes, 2u);
}

TEST(PsiAtscTables, SttCountsGpsSecondsWithTheLeapSecondsOfTheDay) {
    struct Case {
        int64_t unix;
        uint32_t gps;
        uint8_t offset;
    };
    const Case cases[] = {
        {1704067200, 1704067200 - 315964800 + 18, 18},  // 2024-01-01: 18 s since 2017
        {1483228799, 1483228799 - 315964800 + 17, 17},  // the last second of 2016
        {1483228800, 1483228800 - 315964800 + 18, 18},  // 2017-01-01, one leap second later
        {315964800, 0, 0},                              // the GPS epoch
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unix);
        Reader reader(Reader::Kind::Si);
        EXPECT_TRUE(reader.Push(stream::kAtscBasePid, {psi::AtscStt(c.unix)}));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
        ASSERT_EQ(reader.stts.size(), 1u);
        EXPECT_EQ(reader.stts.front()->i_table_id, 0xCD);
        EXPECT_EQ(reader.stts.front()->i_system_time, c.gps);
        EXPECT_EQ(reader.stts.front()->i_gps_utc_offset, c.offset);
    }
}
