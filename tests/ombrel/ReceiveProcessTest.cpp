// 'ombrel services' and 'ombrel record' as processes against the simulated tuners: the
// services compared with the sky's definition, recordings of a clear, a descrambled and
// a scrambled service, and the ends of a recording (Ctrl+C, unplug, a bad output, an
// unknown service, --require-clear). The files go to build/recordings/ with a manifest
// that check_recordings.sh reads with ffprobe and ffmpeg outside Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ConsoleProcess.h"
#include "JsonReader.h"
#include "Sky.h"
#include "TunerSimControl.h"
#include "UiDriver.h"

using namespace ombrel_test;
namespace sky = tunersim::sky;

namespace {

constexpr DWORD kWait = 30000;
constexpr const char* kS2 = "00a1b2c3d4e50001";   // Talvex S2: satellite, CI slot
constexpr const char* kTci = "00a1b2c3d4e50004";  // Talvex T/CI: terrestrial, CI slot
constexpr std::size_t kPacket = 188;

std::string GuidOf(const std::string& id) {
    std::string guid;
    for (std::size_t pair = id.size(); pair >= 2; pair -= 2) guid += id.substr(pair - 2, 2);
    std::transform(guid.begin(), guid.end(), guid.begin(), [](char c) { return static_cast<char>(toupper(c)); });
    return guid;
}

const sky::Multiplex& SkyMultiplex(const std::string& name) {
    const int index = sky::IndexOf(name);
    if (index < 0) throw std::runtime_error("no multiplex " + name);
    return sky::Multiplexes()[static_cast<std::size_t>(index)];
}

// The stream_type a DVB PMT gives each of the sky's kinds.
long long DvbStreamType(sky::StreamType type) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return 0x02;
    case sky::StreamType::H264Video: return 0x1B;
    case sky::StreamType::Mpeg1Layer2Audio: return 0x03;
    case sky::StreamType::Ac3Audio: break;
    }
    return 0x06;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string Narrow(const std::wstring& wide) {
    std::string text;
    for (wchar_t c : wide) text += static_cast<char>(c);
    return text;
}

// The scrambled packets of the live line's last reading.
long long LastScrambledCount(const std::string& out) {
    const std::size_t at = out.rfind("  scrambled ");
    return at == std::string::npos ? -1 : std::stoll(out.substr(at + 12));
}

class OmbrelReceive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = Narrow(uidriver::BinDirectory()) + "..\\recordings\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        // Each test adds its files; a run starts with an empty manifest.
        std::ofstream(folder_ + "manifest.txt", std::ios::trunc);
    }

    void SetUp() override {
        tunersim::Reset();
        tunersim::EnsureFilterRegistered();
        for (const tunersim::DeviceProfile& box : tunersim::DemoSet()) tunersim::Plug(box, false);
        tunersim::SetSettleTime(kS2, 0);
        tunersim::SetSettleTime(kTci, 0);
    }
    void TearDown() override { tunersim::Reset(); }

    static std::string Path(const std::string& file) { return folder_ + file; }

    // What check_recordings.sh is to find in a file: "clear" and "descrambled" decode
    // cleanly as one program named `name`, "scrambled" does not decode, "complete" is read.
    static void Expect(const std::string& file, const std::string& kind, int program, const std::string& name) {
        std::ofstream manifest(folder_ + "manifest.txt", std::ios::app | std::ios::binary);
        manifest << file << '\t' << kind << '\t' << program << '\t' << name << '\n';
    }

    static void TuneKestrel() {
        const Result r = RunOmbrel({"tune", GuidOf(kS2), "11597", "--pol", "V", "--symbol-rate", "22000", "--diseqc", "A"});
        ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    }

    static std::vector<std::string> RecordArguments(const std::string& file, std::vector<std::string> more) {
        std::vector<std::string> arguments{"record", GuidOf(kS2), "--out", Path(file)};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    static std::string folder_;
};

std::string OmbrelReceive::folder_;

}  // namespace

TEST_F(OmbrelReceive, ServicesOfATunedMultiplexAreTheSkys) {
    // Not locked yet: said plainly, with its own code.
    Result r = RunOmbrel({"services", GuidOf(kTci)});
    EXPECT_EQ(r.exitCode, 55u) << r.out << r.err;
    EXPECT_NE(r.err.find("(Talvex T/CI) is not locked on a multiplex"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("'ombrel tune <tuner> <frequency> ...' tunes it"), std::string::npos) << r.err;

    ASSERT_EQ(RunOmbrel({"tune", GuidOf(kTci), "474", "--bandwidth", "8"}).exitCode, 0u);
    r = RunOmbrel({"services", GuidOf(kTci), "--json"});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const JsonValue json = ReadJson(r.out);
    const sky::Multiplex& lumen = SkyMultiplex("T 474 MHz");
    EXPECT_EQ(json["tuner"]["guid"].Text(), GuidOf(kTci));
    EXPECT_EQ(json["multiplex"]["transportStreamId"].Integer(), lumen.transportStreamId);
    EXPECT_EQ(json["multiplex"]["originalNetworkId"].Integer(), lumen.originalNetworkId);
    const JsonValue& services = json["services"];
    ASSERT_EQ(services.items.size(), lumen.services.size()) << r.out;
    for (std::size_t i = 0; i < lumen.services.size(); ++i) {
        const sky::Service& expected = lumen.services[i];
        const JsonValue& service = services[i];
        SCOPED_TRACE(expected.name.utf8);
        EXPECT_EQ(service["id"].Integer(), expected.id);
        EXPECT_EQ(service["name"].Text(), expected.name.utf8);
        EXPECT_EQ(service["provider"].Text(), expected.provider.utf8);
        EXPECT_EQ(service["kind"].Text(), expected.kind == sky::ServiceKind::Radio ? "radio" : "TV");
        EXPECT_EQ(service["pmtPid"].Integer(), expected.pmtPid);
        EXPECT_EQ(service["pcrPid"].Integer(), expected.pcrPid);
        ASSERT_EQ(service["streams"].items.size(), expected.streams.size());
        for (std::size_t s = 0; s < expected.streams.size(); ++s) {
            EXPECT_EQ(service["streams"][s]["pid"].Integer(), expected.streams[s].pid);
            EXPECT_EQ(service["streams"][s]["streamType"].Integer(), DvbStreamType(expected.streams[s].type));
            EXPECT_EQ(service["streams"][s]["language"].Text(), expected.streams[s].language);
        }
        EXPECT_EQ(service["scrambled"].Bool(), expected.scrambled);
        EXPECT_EQ(service["caSystemIds"].Integers(),
                  expected.scrambled ? std::vector<long long>{sky::kCaSystemId} : std::vector<long long>{});
        if (expected.scrambled) {
            EXPECT_EQ(service["ecmPids"].Integers(), std::vector<long long>{expected.ecmPid});
        }
        // The present and following events are titles of the service's programme slots.
        for (const char* which : {"present", "following"}) {
            ASSERT_FALSE(service[which].IsNull()) << which;
            const std::string title = service[which]["name"].Text();
            EXPECT_TRUE(std::any_of(expected.events.begin(), expected.events.end(),
                                    [&](const sky::Text& t) { return t.utf8 == title; }))
                << which << " " << title;
        }
    }

    // The text shows the same, a block per service.
    r = RunOmbrel({"services", GuidOf(kTci)});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("Multiplex:          transport stream 0x0602, original network 0x3101, 4 services\n"),
              std::string::npos)
        << r.out;
    for (const char* line : {"\n0x3011  TV    Lumen 2\n", "        provider   Lumen\n", "        access     clear\n",
                             "        PIDs       PMT 0x0101, PCR 0x0210\n", "                   0x0210  MPEG-2 video\n",
                             "                   0x0211  MPEG-1 audio (eng)\n",
                             "\n0x3012  TV    Lumen Sport+\n        provider   Lumen Pay\n"
                             "        access     scrambled (CA system 0x4B45, ECM PID 0x1F02)\n",
                             "\n0x3014  radio Lumen Klassik\n", "        now        "}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nnot in\n" << r.out;
    }
}

TEST_F(OmbrelReceive, RecordingsOfClearDescrambledAndScrambledServices) {
    TuneKestrel();
    const sky::Multiplex& a11597 = SkyMultiplex("A 11597 V");
    const sky::Service& cinema = a11597.services[0];
    const sky::Service& info = a11597.services[1];
    ASSERT_TRUE(cinema.scrambled);
    ASSERT_FALSE(info.scrambled);

    // A clear service by name, ten seconds: its PIDs in the tuner's filter, opened again after.
    Result r = RunOmbrel(RecordArguments("aster-info.ts", {"--service", "Aster Info", "--duration", "10"}));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Recording:          0x1022 (Aster Info) of transport stream 0x0403 to "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Access:             clear\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Recorded:           10."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("transport errors 0  continuity gaps 0  scrambled 0\n"), std::string::npos) << r.out;
    std::string filter = "PID filter:         0x0000, 0x0011, 0x0012, 0x0014";
    for (std::uint16_t pid : {info.pmtPid, info.pcrPid}) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", pid);
        EXPECT_NE(r.out.find(hex), std::string::npos) << hex;
    }
    EXPECT_NE(r.out.find(filter), std::string::npos) << r.out;
    EXPECT_EQ(tunersim::Tuning(kS2).pids, std::vector<std::uint16_t>{0x2000});
    const long long clearSize = FileSize(Path("aster-info.ts"));
    EXPECT_GT(clearSize, 100 * 1000);
    EXPECT_EQ(clearSize % kPacket, 0);
    Expect("aster-info.ts", "clear", info.id, info.name.utf8);

    // The scrambled service with a ready module: descrambled, the CA PMT as the module
    // expects it, and the session closed at the end.
    tunersim::ReadyModule(kS2);
    const uint32_t pmts = tunersim::CommonInterface(kS2).pmts;
    r = RunOmbrel(RecordArguments("kestrel-descrambled.ts", {"--service", "0x1021", "--duration", "10", "--require-clear"}));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    char ca[64];
    std::snprintf(ca, sizeof ca, "scrambled (CA system 0x%04X, ECM PID 0x%04X)", sky::kCaSystemId, cinema.ecmPid);
    EXPECT_NE(r.out.find(std::string("Access:             ") + ca + ", descrambled by Kestrel CAM\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(LastScrambledCount(r.out), 0) << r.out;
    tunersim::ModuleReport module = tunersim::CommonInterface(kS2);
    EXPECT_EQ(module.pmts, pmts + 1);
    EXPECT_EQ(module.pmtListManagement, 3);
    EXPECT_EQ(module.pmtCommand, 1);
    EXPECT_EQ(module.pmtProgram, cinema.id);
    EXPECT_TRUE(module.descrambling);
    Expect("kestrel-descrambled.ts", "descrambled", cinema.id, cinema.name.utf8);
    // The session is free again: another program opens it.
    r = RunOmbrel({"ci", GuidOf(kS2), "status", "--json"});
    EXPECT_FALSE(ReadJson(r.out)["sessionInUse"].Bool()) << r.out;

    // Without a module: said why, and recorded scrambled; --require-clear refuses and
    // writes nothing.
    tunersim::RemoveModule(kS2);
    r = RunOmbrel(RecordArguments("kestrel-required.ts", {"--service", "Kestrel Cinema", "--duration", "3", "--require-clear",
                                                          "--timeout", "2"}));
    EXPECT_EQ(r.exitCode, 59u) << r.out << r.err;
    EXPECT_NE(r.err.find(std::string("0x1021 (Kestrel Cinema) is ") + ca +
                         " and cannot be descrambled: no module in the Common Interface slot of "),
              std::string::npos)
        << r.err;
    EXPECT_EQ(FileSize(Path("kestrel-required.ts")), -1);
    r = RunOmbrel(RecordArguments("kestrel-scrambled.ts", {"--service", "Kestrel Cinema", "--duration", "4", "--timeout", "2"}));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_NE(r.err.find("no module in the Common Interface slot of "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; it is recorded scrambled\n"), std::string::npos) << r.err;
    EXPECT_GT(LastScrambledCount(r.out), 100) << r.out;
    Expect("kestrel-scrambled.ts", "scrambled", cinema.id, cinema.name.utf8);

    // An unknown name lists the services there are; an output that cannot be made is named.
    r = RunOmbrel(RecordArguments("none.ts", {"--service", "Kestrel Kids"}));
    EXPECT_EQ(r.exitCode, 57u) << r.err;
    for (const char* line : {"ombrel: 'Kestrel Kids' names no service of the multiplex on ", "; it carries:\n",
                             "  0x1021  Kestrel Cinema (TV, scrambled)\n", "  0x1022  Aster Info (TV, clear)\n",
                             "  0x1023  Radio "}) {
        EXPECT_NE(r.err.find(line), std::string::npos) << line << " not in " << r.err;
    }
    r = RunOmbrel({"record", GuidOf(kS2), "--out", Path("no such folder\\x.ts"), "--service", "Aster Info"});
    EXPECT_EQ(r.exitCode, 58u) << r.err;
    EXPECT_NE(r.err.find("ombrel: cannot write '" + Path("no such folder\\x.ts") + "': "), std::string::npos) << r.err;
    EXPECT_EQ(tunersim::Tuning(kS2).pids, std::vector<std::uint16_t>{0x2000}) << "a failed recording leaves the filter open";
}

TEST_F(OmbrelReceive, CtrlCAndUnplugEndARecordingWithWholePacketsKept) {
    TuneKestrel();
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", RecordArguments("interrupted.ts", {}));
        ASSERT_TRUE(run.WaitForOut("Ends:               at Ctrl+C\n", kWait)) << run.Out() << run.Err();
        Sleep(2000);
        ASSERT_TRUE(run.Interrupt());
        const auto code = run.WaitForExit(kWait);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 0u) << run.Err();
        EXPECT_NE(run.Out().find("Recording:          the whole multiplex (3 services) of transport stream 0x0403"),
                  std::string::npos)
            << run.Out();
        EXPECT_NE(run.Out().find("PID filter:         open (the whole multiplex)\n"), std::string::npos) << run.Out();
        EXPECT_NE(run.Out().find("Access:             scrambled services recorded as they come: 0x1021 (Kestrel Cinema)\n"),
                  std::string::npos)
            << run.Out();
        EXPECT_NE(run.Out().find(" (ended by Ctrl+C)\n"), std::string::npos) << run.Out();
        const long long size = FileSize(Path("interrupted.ts"));
        EXPECT_GT(size, 1000 * 1000) << "two seconds of a 30 Mbit/s multiplex";
        EXPECT_EQ(size % kPacket, 0);
        Expect("interrupted.ts", "complete", 0, "");
    }

    ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", RecordArguments("unplugged.ts", {"--service", "Aster Info"}));
    ASSERT_TRUE(run.WaitForOut("Ends:               at Ctrl+C\n", kWait)) << run.Out() << run.Err();
    Sleep(2000);
    tunersim::Unplug(kS2);
    const auto code = run.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3u) << run.Out() << run.Err();
    EXPECT_NE(run.Err().find("(Talvex S2) went away during the recording; the "), std::string::npos) << run.Err();
    const long long size = FileSize(Path("unplugged.ts"));
    EXPECT_GT(size, 10 * kPacket);
    EXPECT_EQ(size % kPacket, 0);
    EXPECT_NE(run.Err().find(" (" + std::to_string(size / kPacket) + " packets) written are kept in "), std::string::npos)
        << run.Err();
    Expect("unplugged.ts", "complete", 0, "");
}

TEST_F(OmbrelReceive, RecordTunesTheChannelOfAChannelFileFirst) {
    // Tuned elsewhere: the channel's tune takes the tuner to its multiplex and service.
    ASSERT_EQ(RunOmbrel({"tune", GuidOf(kS2), "11623", "--pol", "V", "--symbol-rate", "27500", "--diseqc", "B"}).exitCode, 0u);
    const std::string channels = Path("channels.conf");
    std::ofstream(channels, std::ios::binary) << "[Aster Info]\n\tSERVICE_ID = 4130\n\tVIDEO_PID = 1072\n"
                                                 "\tFREQUENCY = 11597000\n\tPOLARIZATION = VERTICAL\n"
                                                 "\tSYMBOL_RATE = 22000000\n\tSAT_NUMBER = 0\n\tDELIVERY_SYSTEM = DVBS\n\n"
                                                 "[Lumen 2]\n\tSERVICE_ID = 12305\n\tFREQUENCY = 474000000\n"
                                                 "\tBANDWIDTH_HZ = 8000000\n\tDELIVERY_SYSTEM = DVBT\n";
    Result r = RunOmbrel(RecordArguments("channel.ts", {"--channel", "aster info", "--channels", channels, "--duration", "4"}));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    for (const char* line : {"Channel:            Aster Info (", "Recording:          0x1022 (Aster Info) of transport stream 0x0403",
                             "Recorded:           4."}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " not in " << r.out;
    }
    EXPECT_EQ(tunersim::Tuning(kS2).multiplex, "A 11597 V");
    Expect("channel.ts", "clear", 0x1022, "Aster Info");

    // A channel of the other family, an unknown one and a file that does not parse.
    r = RunOmbrel(RecordArguments("x.ts", {"--channel", "Lumen 2", "--channels", channels}));
    EXPECT_EQ(r.exitCode, 23u) << r.err;
    EXPECT_NE(r.err.find("channel 'Lumen 2': "), std::string::npos) << r.err;
    r = RunOmbrel(RecordArguments("x.ts", {"--channel", "Lumen 9", "--channels", channels}));
    EXPECT_EQ(r.exitCode, 57u) << r.err;
    EXPECT_NE(r.err.find("no channel 'Lumen 9' in " + channels + "; it holds: Aster Info, Lumen 2\n"), std::string::npos)
        << r.err;
    std::ofstream(channels, std::ios::binary | std::ios::trunc) << "[Aster Info]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = many\n";
    r = RunOmbrel(RecordArguments("x.ts", {"--channel", "Aster Info", "--channels", channels}));
    EXPECT_EQ(r.exitCode, 57u) << r.err;
    EXPECT_NE(r.err.find("ombrel: " + channels + ":3: FREQUENCY"), std::string::npos) << r.err;
    EXPECT_EQ(FileSize(Path("x.ts")), -1);
    DeleteFileA(channels.c_str());
}
