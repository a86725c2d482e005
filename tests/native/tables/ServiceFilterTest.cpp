// One service out of a simulated multiplex: the PIDs it needs, every packet of them kept,
// the PAT, SDT and EIT rewritten to name only the service, counters continuous; the result
// read back by the table reader (events included) and by ffprobe as one program with the
// service's name.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <vector>

#include "../ContentSupport.h"
#include "ServiceFilter.h"
#include "TableReader.h"
#include "TablesTestSupport.h"
#include "psi/SectionPacketizer.h"

namespace {

using namespace tunersim;
using namespace tables_test;
namespace tt = talvex::tables;

uint16_t PidOf(const uint8_t* p) { return static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]); }

tt::Multiplex ReadTables(const sky::Multiplex& m) {
    SimulatedStream stream(m);
    tt::TableReader reader;
    while (!reader.Complete()) stream.FeedTo(reader, 64);
    return reader.Result();
}

std::vector<uint16_t> ExpectedPids(const sky::Multiplex& m, const sky::Service& s) {
    std::set<uint16_t> pids = {0, s.pmtPid, s.pcrPid};
    for (const auto& es : s.streams) pids.insert(es.pid);
    if (s.scrambled) pids.insert(s.ecmPid);
    if (sky::IsAtsc(m))
        pids.insert(0x1FFB);
    else
        pids.insert({0x11, 0x12, 0x14});
    return {pids.begin(), pids.end()};
}

// Filters three seconds of the multiplex for `s`; returns the filtered packets.
std::vector<uint8_t> FilterService(const sky::Multiplex& m, const sky::Service& s, const tt::Multiplex& tables) {
    SCOPED_TRACE(m.name + " / " + s.name.utf8);
    tt::ServiceFilter filter(tables, s.id);
    EXPECT_EQ(filter.Pids(), ExpectedPids(m, s));
    EXPECT_TRUE(filter.Keeps(s.pmtPid));
    EXPECT_FALSE(filter.Keeps(0x1FFF));

    SimulatedStream stream(m);
    std::vector<uint8_t> out;
    std::map<uint16_t, uint64_t> inCount, outCount;
    uint64_t patStarts = 0;
    for (int chunk = 0; chunk < 3 * 1000 / 10; ++chunk) {
        const std::size_t n = static_cast<std::size_t>(sky::UsefulBitrate(m) / 1504 / 100);  // 10 ms
        const auto in = stream.Make(n);
        for (std::size_t i = 0; i < n; ++i) {
            const uint8_t* p = in.data() + i * 188;
            ++inCount[PidOf(p)];
            if (PidOf(p) == 0 && (p[1] & 0x40)) ++patStarts;
        }
        std::vector<uint8_t> filtered(in.size());
        const std::size_t kept = filter.Filter(in.data(), n, filtered.data());
        out.insert(out.end(), filtered.begin(), filtered.begin() + static_cast<std::ptrdiff_t>(kept * 188));
    }
    std::map<uint16_t, int> lastCounter;
    int gaps = 0;
    for (std::size_t i = 0; i < out.size(); i += 188) {
        const uint8_t* p = out.data() + i;
        const uint16_t pid = PidOf(p);
        EXPECT_TRUE(filter.Keeps(pid)) << pid;
        ++outCount[pid];
        if (p[3] & 0x10) {
            if (lastCounter.count(pid) && (p[3] & 0x0F) != ((lastCounter[pid] + 1) & 0x0F)) ++gaps;
            lastCounter[pid] = p[3] & 0x0F;
        }
    }
    EXPECT_EQ(gaps, 0);
    EXPECT_EQ(outCount[0], patStarts);  // one PAT of its own for each the source began
    // The service's own PIDs and the time tables kept as they came; the rewritten SDT and
    // EIT take at most the packets of the source's.
    for (uint16_t pid : filter.Pids()) {
        if (pid == 0x11 || pid == 0x12) {
            EXPECT_LE(outCount[pid], inCount[pid]) << pid;
            EXPECT_GT(outCount[pid], 0u) << pid;
        } else if (pid != 0) {
            EXPECT_EQ(outCount[pid], inCount[pid]) << pid;
        }
    }
    for (const auto& other : m.services) {
        if (other.id != s.id) {
            EXPECT_EQ(outCount.count(other.pmtPid), 0u);
        }
    }

    // Read back: a whole multiplex of one service, as it was in the full stream.
    tt::TableReader reader(tt::Needs{false, !sky::IsAtsc(m)});
    reader.Feed(out.data(), out.size() / 188);
    EXPECT_TRUE(reader.Complete()) << reader.MissingText();
    EXPECT_EQ(reader.Counts().crcErrors, 0u);
    const tt::Multiplex alone = reader.Result();
    EXPECT_EQ(alone.transportStreamId, m.transportStreamId);
    EXPECT_EQ(alone.standard, tables.standard);
    if (alone.services.size() == 1) {
        const tt::Service& read = alone.services[0];
        EXPECT_EQ(read.id, s.id);
        EXPECT_EQ(read.pmtPid, s.pmtPid);
        for (const auto& original : tables.services)
            if (original.id == s.id) {
                EXPECT_EQ(read.name, original.name);
                EXPECT_EQ(read.pmtSection, original.pmtSection);
                EXPECT_EQ(read.scrambled, original.scrambled);
                EXPECT_EQ(read.provider, original.provider);
                EXPECT_EQ(read.present.has_value(), !sky::IsAtsc(m) && !s.events.empty());
            }
    } else {
        ADD_FAILURE() << alone.services.size() << " services in the filtered stream";
    }
    return out;
}

TEST(ServiceFilter, KeepsOneServiceAsAValidSingleProgramStream) {
    const sky::Multiplex& dvb = ScrambledDvbMultiplex();
    const tt::Multiplex tables = ReadTables(dvb);
    EXPECT_THROW(tt::ServiceFilter(tables, 0xFFFF), std::invalid_argument);
    const sky::Service* clear = nullptr;
    for (const auto& s : dvb.services) {
        if (s.scrambled) FilterService(dvb, s, tables);
        else if (!clear && sky::IsVideo(s.streams.front().type)) clear = &s;
    }
    ASSERT_NE(clear, nullptr);
    const auto out = FilterService(dvb, *clear, tables);
    for (const auto& m : sky::Multiplexes()) {
        if (!sky::IsAtsc(m)) continue;
        FilterService(m, m.services.front(), ReadTables(m));
        break;
    }

    // ffprobe reads the clear service's capture as one program with its name.
    content_test::TempFolder folder("service-filter");
    const auto file = folder / "service.ts";
    content_test::WriteBytes(file, out);
    const std::string probed = content_test::RunCommand(
        "ffprobe -v error -show_programs -of json '" + file.string() + "'");
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(probed);
    } catch (const std::exception&) {
        FAIL() << probed;
    }
    ASSERT_EQ(json["programs"].size(), 1u) << probed;
    const auto& program = json["programs"][0];
    EXPECT_EQ(program["program_id"], clear->id);
    EXPECT_EQ(program["tags"]["service_name"], clear->name.utf8);
    EXPECT_EQ(program["pmt_pid"], clear->pmtPid);
    EXPECT_EQ(program["streams"].size(), clear->streams.size());
}

}  // namespace

namespace {

// The filter's own PAT follows the source's version, keeps its own counter, ignores
// damaged PAT packets and can be written before any source PAT.
TEST(ServiceFilter, ItsPatFollowsTheSourceVersionWithItsOwnCounter) {
    tt::Multiplex m;
    m.transportStreamId = 0x0BEE;
    tt::Service s;
    s.id = 0x0102;
    s.pmtPid = 0x0500;
    m.services.push_back(s);
    tt::ServiceFilter filter(m, s.id);

    std::vector<uint8_t> first(188);
    filter.WritePat(first.data());
    std::vector<uint8_t> source;
    uint8_t counter = 7;
    for (uint8_t version : {9, 9, 10}) {
        stream::psi::LongHeader h{0x00, 0x0BEE, version};
        const uint8_t body[] = {0x01, 0x01, 0xE4, 0x00, 0x01, 0x02, 0xE5, 0x00};
        std::vector<stream::Packet> packets;
        stream::psi::PacketizeSections(0x0000, {stream::psi::LongSection(h, body)}, packets);
        for (auto& p : packets) {
            p[3] = static_cast<uint8_t>((p[3] & 0xF0) | (counter++ & 0x0F));
            source.insert(source.end(), p.begin(), p.end());
        }
    }
    source[188 + 1] |= 0x80;  // the second one flagged with a transport error: no PAT for it
    std::vector<uint8_t> out(source.size());
    ASSERT_EQ(filter.Filter(source.data(), source.size() / 188, out.data()), 2u);

    std::vector<uint8_t> all = first;
    all.insert(all.end(), out.begin(), out.begin() + 2 * 188);
    const int versions[] = {0, 9, 10};
    for (std::size_t i = 0; i < 3; ++i) {
        const uint8_t* p = all.data() + i * 188;
        SCOPED_TRACE(i);
        EXPECT_EQ(p[3] & 0x0F, static_cast<int>(i));  // its own counter, from 0
        const uint8_t* section = p + 5;
        EXPECT_EQ(section[5] >> 1 & 0x1F, versions[i]);
        EXPECT_EQ(stream::psi::Crc32Mpeg(section, 16), 0u);
        EXPECT_EQ(section[8] << 8 | section[9], 0x0102);
        EXPECT_EQ((section[10] & 0x1F) << 8 | section[11], 0x0500);
    }
    // Read back: the one program.
    tt::TableReader reader;
    reader.Feed(all.data(), 3);
    ASSERT_EQ(reader.Result().services.size(), 1u);
    EXPECT_EQ(reader.Result().transportStreamId, 0x0BEE);
}

}  // namespace
