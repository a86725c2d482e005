// The boxes' transport streams end to end: tuned through the bound filters as a driver
// client tunes them, listed and captured by tunersim.exe in another process. Every
// multiplex of the sky is captured through a PID filter that keeps what a player needs;
// the scrambled services before and after the module is sent their CA PMT. The captures
// and a manifest of what each should hold go to build/streams/ for the outside readers
// (check_streams.sh: ffprobe and ffmpeg).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "SimTestSupport.h"
#include "Sky.h"
#include "TunerSimControl.h"
#include "psi/Tables.h"

namespace {

using namespace simtest;
using Bytes = std::vector<uint8_t>;

const std::string kSatellite = "00000000000005a1";
const std::string kTerrestrial = "00000000000005a2";
const std::string kAtsc = "00000000000005a3";

void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Census {
    std::size_t packets = 0;
    std::set<uint16_t> pids;
    std::map<uint16_t, int> payload, scrambled;
    int continuityGaps = 0;
    int errors = 0;
    uint16_t patTransportStream = 0;
};

Census Count(const Bytes& ts) {
    Census c;
    std::map<uint16_t, int> last;
    c.packets = ts.size() / 188;
    for (std::size_t i = 0; i < c.packets; ++i) {
        const uint8_t* p = ts.data() + i * 188;
        if (p[0] != 0x47) {
            ADD_FAILURE() << "no sync byte at packet " << i;
            break;
        }
        const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
        const bool payload = p[3] & 0x10;
        c.pids.insert(pid);
        c.errors += (p[1] & 0x80) != 0;
        if (payload) {
            ++c.payload[pid];
            c.scrambled[pid] += (p[3] >> 6) != 0;
        }
        const int counter = p[3] & 0x0F;
        if (last.count(pid) && counter != (payload ? (last[pid] + 1) & 0xF : last[pid])) ++c.continuityGaps;
        last[pid] = counter;
        if (pid == 0 && (p[1] & 0x40) && !c.patTransportStream)
            c.patTransportStream = static_cast<uint16_t>(p[5 + p[4] + 3] << 8 | p[5 + p[4] + 4]);
    }
    return c;
}

class StreamTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tunersim::Reset(false);
        for (const auto& [id, preset] : {std::pair{kSatellite, "talvex-s2"}, std::pair{kTerrestrial, "talvex-tci"},
                                         std::pair{kAtsc, "talvex-atsc"}}) {
            auto profile = tunersim::Preset(preset);
            profile.id = id;
            tunersim::Plug(profile, false);
            tunersim::SetSettleTime(id, 0);
        }
        out_ = BinDir() + "..\\streams\\";
        CreateDirectoryA(out_.c_str(), nullptr);
    }
    static void TearDownTestSuite() { tunersim::Reset(false); }

    ComPtr<IKsPropertySet> Properties(const std::string& id) {
        return BindProperties(kWdmCategory, tunersim::Find(id)->displayNames[0]);
    }

    // Tunes the box of the multiplex's family to it and sets a PID filter that keeps
    // the tables and every service's streams (no null packets: the files stay small).
    std::string Tune(const tunersim::sky::Multiplex& m) {
        const bool satellite = tunersim::sky::IsSatellite(m);
        const std::string id = satellite ? kSatellite : tunersim::sky::IsAtsc(m) ? kAtsc : kTerrestrial;
        auto properties = Properties(id);
        EXPECT_TRUE(properties);
        uint8_t tune[12] = {};
        Put32(tune, m.frequencyKHz);
        if (satellite) {
            uint8_t diseqc[25] = {4, 0xE0, 0x10, 0x38, static_cast<uint8_t>(0xF0 | m.input << 2)};
            EXPECT_EQ(SetProperty(properties.Get(), 12, diseqc, sizeof diseqc), S_OK);
            Put32(tune + 4, m.symbolRate);
            tune[8] = m.polarisation;
            EXPECT_EQ(SetProperty(properties.Get(), 0, tune, sizeof tune), S_OK);
        } else {
            tune[4] = m.bandwidthMHz;
            EXPECT_EQ(SetProperty(properties.Get(), 5, tune, sizeof tune), S_OK);
        }
        std::vector<uint16_t> pids = tunersim::sky::IsAtsc(m) ? std::vector<uint16_t>{0x0000, 0x1FFB}
                                                             : std::vector<uint16_t>{0x0000, 0x0010, 0x0011, 0x0012, 0x0014};
        for (const auto& s : m.services) {
            pids.push_back(s.pmtPid);
            for (const auto& es : s.streams) pids.push_back(es.pid);
        }
        uint8_t list[60] = {};
        const uint16_t count = static_cast<uint16_t>(pids.size());
        std::memcpy(list, &count, 2);
        std::memcpy(list + 2, pids.data(), pids.size() * 2);
        EXPECT_EQ(SetProperty(properties.Get(), satellite ? 2 : 6, list, satellite ? 60 : 56), S_OK);
        return id;
    }

    Bytes Capture(const std::string& id, const std::string& file, double seconds) {
        const ToolRun run = RunTool("ts " + id + " --seconds " + std::to_string(seconds) + " --out " + out_ + file, 120000);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        return ReadFile(out_ + file);
    }

    static std::string out_;
    ComApartment com_;
};

std::string StreamTool::out_;

TEST_F(StreamTool, EveryMultiplexIsListedAndCapturedAsTheBoxEmitsIt) {
    ToolRun run = RunTool("services");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    std::ofstream manifest(out_ + "manifest.txt", std::ios::trunc | std::ios::binary);
    for (const auto& m : tunersim::sky::Multiplexes()) {
        EXPECT_NE(run.output.find(m.name + ": "), std::string::npos) << m.name;
        for (const auto& s : m.services) EXPECT_NE(run.output.find(s.name.utf8), std::string::npos) << s.name.utf8;
    }

    for (std::size_t i = 0; i < tunersim::sky::Multiplexes().size(); ++i) {
        const auto& m = tunersim::sky::Multiplexes()[i];
        SCOPED_TRACE(m.name);
        const std::string id = Tune(m);
        const ToolRun listed = RunTool("services " + id);
        ASSERT_EQ(listed.exitCode, 0u) << listed.output;
        EXPECT_EQ(listed.output.rfind(m.name + ": ", 0), 0u) << listed.output;

        const std::string file = "mux" + std::to_string(i) + ".ts";
        const Census c = Count(Capture(id, file, 10));
        ASSERT_GT(c.packets, 1000u);
        EXPECT_EQ(c.patTransportStream, m.transportStreamId);
        EXPECT_FALSE(c.pids.count(0x1FFF));  // the filter kept the null packets out
        const bool weak = m.figures.lostBlocksPerMinute > 0;
        EXPECT_EQ(c.errors > 0, weak);
        EXPECT_EQ(c.continuityGaps > 0, weak);
        for (const auto& s : m.services)
            for (const auto& es : s.streams) {
                EXPECT_GT(c.payload.at(es.pid), 10) << es.pid;
                EXPECT_EQ(c.scrambled.count(es.pid) ? c.scrambled.at(es.pid) : 0, s.scrambled ? c.payload.at(es.pid) : 0);
            }
        // file, clear or not, whether the tables name services, then "id|name|provider" per service.
        manifest << file << '\t' << (weak ? "weak" : "clean") << '\t' << (tunersim::sky::IsAtsc(m) ? "atsc" : "dvb");
        for (const auto& s : m.services)
            manifest << '\t' << s.id << '|' << (s.scrambled ? "scrambled" : "clear") << '|' << s.name.utf8 << '|'
                     << s.provider.utf8;
        manifest << '\n';
    }
    manifest.close();
    ASSERT_TRUE(manifest);
}

TEST_F(StreamTool, TheModuleDescramblesAPayServiceOnceItsCaPmtArrives) {
    std::ofstream manifest(out_ + "descrambled.txt", std::ios::trunc | std::ios::binary);
    for (const char* name : {"A 11597 V", "T 474 MHz"}) {
        const auto& m = tunersim::sky::Multiplexes()[tunersim::sky::IndexOf(name)];
        SCOPED_TRACE(name);
        const tunersim::sky::Service* pay = nullptr;
        for (const auto& s : m.services)
            if (s.scrambled) pay = &s;
        ASSERT_NE(pay, nullptr);
        const std::string id = Tune(m);
        tunersim::RemoveModule(id);
        tunersim::ReadyModule(id);

        // The PMT as the stream carries it, handed to the module as an application would.
        const Bytes pmt = tunersim::stream::psi::Pmt(m, *pay).front();
        uint8_t message[1036] = {};
        message[1] = 2;  // CA PMT
        const uint16_t length = static_cast<uint16_t>(pmt.size() + 2);
        std::memcpy(message + 8, &length, 2);
        message[10] = 3;  // only
        message[11] = 1;  // ok_descrambling
        std::memcpy(message + 12, pmt.data(), pmt.size());
        ASSERT_EQ(SetProperty(Properties(id).Get(), 22, message, sizeof message), S_OK);
        const std::string file = std::string(tunersim::sky::IsSatellite(m) ? "sat" : "ter") + "-descrambled.ts";
        const Census c = Count(Capture(id, file, 10));
        for (const auto& es : pay->streams) {
            EXPECT_GT(c.payload.at(es.pid), 10);
            EXPECT_EQ(c.scrambled.count(es.pid) ? c.scrambled.at(es.pid) : 0, 0);
        }
        manifest << file << '\t' << pay->id << '\n';

        // Taken out of the list again: scrambled.
        message[11] = 4;  // not_selected
        ASSERT_EQ(SetProperty(Properties(id).Get(), 22, message, sizeof message), S_OK);
        const Census again = Count(Capture(id, "again.ts", 1));
        EXPECT_EQ(again.scrambled.at(pay->streams.front().pid), again.payload.at(pay->streams.front().pid));
        tunersim::RemoveModule(id);
    }
    manifest.close();
    ASSERT_TRUE(manifest);
}

TEST_F(StreamTool, NothingFlowsFromABoxThatIsNotLockedAndBadArgumentsAreRefused) {
    auto properties = Properties(kAtsc);
    uint8_t tune[12] = {};
    Put32(tune, 600000);  // no channel there
    tune[4] = 6;
    ASSERT_EQ(SetProperty(properties.Get(), 5, tune, sizeof tune), S_OK);
    ToolRun run = RunTool("ts " + kAtsc + " --seconds 1 --out " + out_ + "nothing.ts");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("emits nothing: no signal at its last tune"), std::string::npos) << run.output;
    EXPECT_TRUE(ReadFile(out_ + "nothing.ts").empty());
    run = RunTool("services " + kAtsc);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("receives nothing"), std::string::npos) << run.output;

    tunersim::Unplug(kAtsc, false);
    run = RunTool("ts " + kAtsc + " --seconds 1 --out " + out_ + "nothing.ts");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("unplugged"), std::string::npos) << run.output;
    tunersim::Plug(tunersim::Find(kAtsc)->profile, false);

    for (const char* bad : {"--seconds 0", "--seconds -1", "--seconds abc", "--seconds 4000"}) {
        run = RunTool("ts " + kAtsc + " " + bad);
        EXPECT_EQ(run.exitCode, 2u) << bad;
        EXPECT_NE(run.output.find("seconds"), std::string::npos) << run.output;
    }
    run = RunTool("ts 0123456789abcdef --seconds 1 --out " + out_ + "nothing.ts");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("unknown device"), std::string::npos) << run.output;
    run = RunTool("ts " + kAtsc + " --seconds 1 --out " + out_ + "no\\such\\folder\\x.ts");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("cannot write"), std::string::npos) << run.output;
}

}  // namespace
