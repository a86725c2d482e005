// PAT and PMT of every multiplex, read by libdvbpsi and compared with the sky.
#include <gtest/gtest.h>

#include "DvbpsiReader.h"

extern "C" {
#include <dvbpsi/dr_09.h>
#include <dvbpsi/dr_0a.h>
#include <dvbpsi/dr_81.h>
}

#include "Sky.h"
#include "psi/Tables.h"

using namespace tunersim;
namespace psi = tunersim::stream::psi;
using psitest::Reader;

namespace {

std::string Code3(const uint8_t* bytes) { return std::string(reinterpret_cast<const char*>(bytes), 3); }

void CheckPmt(const sky::Multiplex& m, const sky::Service& s) {
    SCOPED_TRACE(s.name.utf8);
    const auto sections = psi::Pmt(m, s);
    ASSERT_EQ(sections.size(), 1u);
    Reader reader(Reader::Kind::Pmt, s.id);
    EXPECT_TRUE(reader.Push(s.pmtPid, sections));
    EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
    ASSERT_EQ(reader.pmts.size(), 1u);
    const auto& pmt = *reader.pmts.front();
    EXPECT_EQ(pmt.i_program_number, s.id);
    EXPECT_EQ(pmt.i_pcr_pid, s.pcrPid);

    const auto ca = psitest::DescriptorsWithTag(pmt.p_first_descriptor, 0x09);
    if (s.scrambled) {
        ASSERT_EQ(ca.size(), 1u);
        const auto* decoded = dvbpsi_DecodeCADr(ca.front());
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(decoded->i_ca_system_id, sky::kCaSystemId);
        EXPECT_EQ(decoded->i_ca_pid, s.ecmPid);
    } else {
        EXPECT_TRUE(ca.empty());
    }

    const bool atsc = sky::IsAtsc(m);
    std::size_t index = 0;
    for (auto* es = pmt.p_first_es; es != nullptr; es = es->p_next, ++index) {
        ASSERT_LT(index, s.streams.size());
        const auto& want = s.streams[index];
        EXPECT_EQ(es->i_pid, want.pid);
        const auto languages = psitest::DescriptorsWithTag(es->p_first_descriptor, 0x0A);
        switch (want.type) {
        case sky::StreamType::Mpeg2Video: EXPECT_EQ(es->i_type, 0x02); break;
        case sky::StreamType::H264Video: EXPECT_EQ(es->i_type, 0x1B); break;
        case sky::StreamType::Mpeg1Layer2Audio: EXPECT_EQ(es->i_type, 0x03); break;
        case sky::StreamType::Ac3Audio:
            if (atsc) {
                EXPECT_EQ(es->i_type, 0x81);
                const auto ac3 = psitest::DescriptorsWithTag(es->p_first_descriptor, 0x81);
                ASSERT_EQ(ac3.size(), 1u);
                const auto* decoded = dvbpsi_DecodeAc3AudioDr(ac3.front());
                ASSERT_NE(decoded, nullptr);
                EXPECT_EQ(decoded->i_sample_rate_code, 0);  // 48 kHz
                EXPECT_EQ(decoded->i_num_channels, 2);      // 2/0
                EXPECT_TRUE(decoded->b_full_svc);
                EXPECT_TRUE(decoded->b_language_flag);
                EXPECT_EQ(Code3(decoded->language), want.language);
            } else {
                EXPECT_EQ(es->i_type, 0x06);
                EXPECT_EQ(psitest::DescriptorsWithTag(es->p_first_descriptor, 0x6A).size(), 1u);
            }
            break;
        }
        if (sky::IsVideo(want.type)) {
            EXPECT_TRUE(languages.empty());
        } else {
            ASSERT_EQ(languages.size(), 1u);
            const auto* decoded = dvbpsi_DecodeISO639Dr(languages.front());
            ASSERT_NE(decoded, nullptr);
            ASSERT_EQ(decoded->i_code_count, 1);
            EXPECT_EQ(Code3(decoded->code[0].iso_639_code), want.language);
        }
    }
    EXPECT_EQ(index, s.streams.size());
}

// A multiplex of the sky's first one with `count` services, for the tables' limits.
sky::Multiplex Crowded(std::size_t count, std::size_t streamsEach) {
    sky::Multiplex m = sky::Multiplexes().front();
    const sky::Service model = m.services.front();
    m.services.clear();
    for (std::size_t i = 0; i < count; ++i) {
        sky::Service s = model;
        s.id = static_cast<uint16_t>(0x4000 + i);
        s.pmtPid = static_cast<uint16_t>(0x0100 + i);
        s.name.utf8 = "Service " + std::to_string(i);
        s.streams.clear();
        for (std::size_t k = 0; k < streamsEach; ++k)
            s.streams.push_back({static_cast<uint16_t>(0x1000 + k), k == 0 ? sky::StreamType::H264Video : sky::StreamType::Ac3Audio,
                                 k == 0 ? "" : "eng", "clip"});
        m.services.push_back(s);
    }
    return m;
}

}  // namespace

TEST(PsiProgramTables, EveryMultiplexHasItsPatAndAPmtPerService) {
    for (const auto& m : sky::Multiplexes()) {
        SCOPED_TRACE(m.name);
        Reader reader(Reader::Kind::Pat);
        const auto sections = psi::Pat(m);
        ASSERT_EQ(sections.size(), 1u);
        EXPECT_TRUE(reader.Push(0x0000, sections));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
        ASSERT_EQ(reader.pats.size(), 1u);
        const auto& pat = *reader.pats.front();
        EXPECT_EQ(pat.i_ts_id, m.transportStreamId);
        EXPECT_TRUE(pat.b_current_next);
        std::vector<std::pair<uint16_t, uint16_t>> programs, expected;
        for (auto* p = pat.p_first_program; p != nullptr; p = p->p_next) programs.emplace_back(p->i_number, p->i_pid);
        if (!sky::IsAtsc(m)) expected.emplace_back(0, 0x0010);  // the NIT
        for (const auto& s : m.services) expected.emplace_back(s.id, s.pmtPid);
        EXPECT_EQ(programs, expected);

        for (const auto& s : m.services) CheckPmt(m, s);
    }
}

TEST(PsiProgramTables, TablesBeyondOneSectionAreSplitOrCutAndStayReadable) {
    // 600 programs and the NIT entry: 253 per section of 1024 bytes, so three sections.
    const sky::Multiplex crowded = Crowded(600, 1);
    const auto pat = psi::Pat(crowded);
    ASSERT_EQ(pat.size(), 3u);
    for (const auto& section : pat) EXPECT_LE(section.size(), psi::kMaxSectionSize);
    Reader reader(Reader::Kind::Pat);
    EXPECT_TRUE(reader.Push(0x0000, pat));
    EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
    ASSERT_EQ(reader.pats.size(), 1u);
    std::size_t count = 0;
    uint16_t last = 0;
    for (auto* p = reader.pats.front()->p_first_program; p != nullptr; p = p->p_next, ++count) {
        if (count > 0) {
            EXPECT_EQ(p->i_number, count == 1 ? 0x4000 : last + 1);
        }
        last = p->i_number;
    }
    EXPECT_EQ(count, 601u);

    // A PMT is one section: of 200 streams (12 bytes each with their descriptors) the
    // first ones that fit in 1024 bytes remain, in order.
    const sky::Multiplex wide = Crowded(1, 200);
    const auto pmt = psi::Pmt(wide, wide.services.front());
    ASSERT_EQ(pmt.size(), 1u);
    EXPECT_LE(pmt.front().size(), psi::kMaxSectionSize);
    EXPECT_GT(pmt.front().size(), psi::kMaxSectionSize - 20);
    Reader pmtReader(Reader::Kind::Pmt, wide.services.front().id);
    EXPECT_TRUE(pmtReader.Push(0x0100, pmt));
    ASSERT_EQ(pmtReader.pmts.size(), 1u);
    std::size_t streams = 0;
    for (auto* es = pmtReader.pmts.front()->p_first_es; es != nullptr; es = es->p_next, ++streams)
        EXPECT_EQ(es->i_pid, 0x1000 + streams);
    EXPECT_GT(streams, 70u);
    EXPECT_LT(streams, 200u);
}
