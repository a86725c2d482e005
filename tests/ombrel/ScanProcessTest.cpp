// 'ombrel scan' as a user runs it, against the simulated sky: what each family's scan
// finds is held against the sky's own definition, its channel file is left in
// build/scans/ for Linux's reader (check_scan_channels.sh), and bad start files, the
// tuner's unplugging and Ctrl+C end it with their codes and what was found kept.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChannelFile.h"
#include "ConsoleProcess.h"
#include "FrontEndState.h"
#include "JsonReader.h"
#include "Sky.h"
#include "TunerSimControl.h"
#include "UiDriver.h"

using namespace ombrel_test;
namespace sky = tunersim::sky;
using Channel = ombrel_cli::Channel;

namespace {

constexpr DWORD kScanWait = 180000;
constexpr const char* kSatellite = "00a1b2c3d4e50a01";
constexpr const char* kTerrestrial = "00a1b2c3d4e50a02";
constexpr const char* kAtsc = "00a1b2c3d4e50a03";
// The rasters are some 50 channels each: front ends that answer quickly keep the scans
// short (the scan still waits for each answer).
constexpr uint32_t kQuickSettleMs = 40;

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

// One transponder per dish input: the NITs name the rest.
constexpr const char* kStartFile =
    "# one transponder of each satellite\n"
    "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10744000\n\tPOLARIZATION = HORIZONTAL\n"
    "\tSYMBOL_RATE = 22000000\n\tINNER_FEC = 5/6\n\tMODULATION = QPSK\n\tINVERSION = AUTO\n"
    "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 11623000\n\tPOLARIZATION = VERTICAL\n"
    "\tSYMBOL_RATE = 27500000\n\tINNER_FEC = AUTO\n\tMODULATION = QPSK\n\tINVERSION = AUTO\n";

enum class Family { Satellite, Terrestrial, Atsc };

bool Of(const sky::Multiplex& m, Family family) {
    switch (family) {
    case Family::Satellite: return sky::IsSatellite(m);
    case Family::Terrestrial: return m.system == sky::System::DvbT;
    case Family::Atsc: return sky::IsAtsc(m);
    }
    return false;
}

std::string ServiceName(const sky::Service& s, const sky::Multiplex& m) {
    return sky::IsAtsc(m) ? s.shortName : s.name.utf8;
}

class OmbrelScan : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset();
        tunersim::EnsureFilterRegistered();
        for (const auto& [preset, id] : {std::pair{"talvex-s2", kSatellite}, std::pair{"talvex-tci", kTerrestrial},
                                         std::pair{"talvex-atsc", kAtsc}}) {
            tunersim::DeviceProfile box = tunersim::Preset(preset);
            box.id = id;
            tunersim::Plug(box, false);
            tunersim::SetSettleTime(id, kQuickSettleMs);
        }
        folder_ = Narrow(uidriver::BinDirectory()) + "..\\scans\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
    }

    void TearDown() override { tunersim::Reset(); }

    std::string Path(const std::string& name) const { return folder_ + name; }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << text;
    }

    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static std::vector<Channel> Channels(const std::string& path) {
        auto read = ombrel_cli::ReadChannelFile(Read(path), path);
        if (const auto* error = std::get_if<ombrel_cli::FileError>(&read)) {
            ADD_FAILURE() << error->Text();
            return {};
        }
        return std::get<std::vector<Channel>>(read);
    }

    // Runs a scan of `family` and holds what it reports and writes against the sky.
    void ScanAndCompare(Family family, const std::string& box, std::vector<std::string> extra, const std::string& file) {
        std::vector<std::string> arguments{"scan", box, "--json", "--out", Path(file)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const Result r = RunOmbrel(arguments, "", kScanWait);
        ASSERT_EQ(r.exitCode, 0u) << r.err << r.out;

        // A line per candidate, numbered on, then the summary.
        const auto lines = Lines(r.out);
        ASSERT_GE(lines.size(), 2u) << r.out;
        std::size_t expected = 1;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            const JsonValue line = ReadJson(lines[i]);
            EXPECT_EQ(line["event"].Text(), "multiplex");
            EXPECT_EQ(line["number"].Integer(), static_cast<long long>(expected++));
            EXPECT_LE(line["number"].Integer(), line["of"].Integer());
        }
        const JsonValue summary = ReadJson(lines.back());
        EXPECT_EQ(summary["event"].Text(), "summary");
        EXPECT_EQ(summary["end"].Text(), "complete");
        EXPECT_EQ(summary["channel_file"].Text(), Path(file));

        // Every multiplex of the family, found once, with its services as the sky has them.
        std::map<long long, const JsonValue*> found;
        for (const JsonValue& m : summary["multiplexes"].items) {
            EXPECT_TRUE(found.emplace(m["transport_stream_id"].Integer(), &m).second) << "found twice";
            EXPECT_TRUE(m["complete"].Bool()) << m["label"].Text();
        }
        std::size_t services = 0;
        for (const sky::Multiplex& m : sky::Multiplexes()) {
            if (!Of(m, family)) continue;
            const auto it = found.find(m.transportStreamId);
            if (it == found.end()) {
                ADD_FAILURE() << m.name << " not found";
                continue;
            }
            const JsonValue& got = *it->second;
            EXPECT_EQ(got["delivery"]["frequency_khz"].Integer(), m.frequencyKHz) << m.name;
            if (sky::IsSatellite(m)) {
                EXPECT_EQ(got["delivery"]["input"].Text(), std::string(1, static_cast<char>('A' + m.input))) << m.name;
                EXPECT_EQ(got["delivery"]["symbol_rate_ksps"].Integer(), m.symbolRate) << m.name;
                EXPECT_EQ(got["delivery"]["system"].Text(), m.system == sky::System::DvbS2 ? "DVBS2" : "DVBS") << m.name;
            }
            ASSERT_EQ(got["services"].items.size(), m.services.size()) << m.name;
            for (std::size_t i = 0; i < m.services.size(); ++i) {
                const sky::Service& want = m.services[i];
                const JsonValue& s = got["services"][i];  // both by id
                EXPECT_EQ(s["id"].Integer(), want.id) << m.name;
                EXPECT_EQ(s["name"].Text(), ServiceName(want, m)) << m.name;
                EXPECT_EQ(s["scrambled"].Bool(), want.scrambled) << m.name;
                EXPECT_EQ(s["kind"].Text(), want.kind == sky::ServiceKind::Radio ? "radio" : "television") << m.name;
                if (sky::IsAtsc(m)) {
                    EXPECT_EQ(s["virtual_channel"].Text(),
                              std::to_string(want.majorChannel) + "." + std::to_string(want.minorChannel));
                }
            }
            services += m.services.size();
        }
        EXPECT_EQ(found.size(), static_cast<std::size_t>(std::count_if(
                                    sky::Multiplexes().begin(), sky::Multiplexes().end(),
                                    [&](const sky::Multiplex& m) { return Of(m, family); })));

        // The channel file: a channel per service, read back here; Linux's reader counts
        // them too (check_scan_channels.sh, from the manifest).
        EXPECT_EQ(Channels(Path(file)).size(), services);
        std::ofstream(Path("manifest.txt"), std::ios::binary | std::ios::app) << file << "\t" << services << "\n";
    }

    std::string folder_;
};

}  // namespace

TEST_F(OmbrelScan, EachFamilyFindsEveryMultiplexOfTheSky) {
    DeleteFileA(Path("manifest.txt").c_str());
    Write("start-satellite.conf", kStartFile);
    // Satellite: one start transponder per input, the NITs add the rest; inputs C and D
    // answer nothing.
    ScanAndCompare(Family::Satellite, kSatellite, {"--from", Path("start-satellite.conf")}, "satellite.conf");
    ScanAndCompare(Family::Terrestrial, kTerrestrial, {}, "terrestrial.conf");
    ScanAndCompare(Family::Atsc, kAtsc, {}, "atsc.conf");

    // Text output: a line per candidate and the summary's table.
    const Result text = RunOmbrel({"scan", kSatellite, "--from", Path("start-satellite.conf"), "--input", "B"}, "", kScanWait);
    ASSERT_EQ(text.exitCode, 0u) << text.err;
    EXPECT_NE(text.out.find("1 of "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("input B 11623 MHz V 27500 kS/s  locked, 3 services (Borealis News"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Scan complete: 4 multiplexes"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Inputs with signal: B\n"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("input A"), std::string::npos) << text.out;
}

TEST_F(OmbrelScan, BadStartFilesAreRefusedWithFileLineAndReason) {
    Write("bad.conf", "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10744 MHz\n");
    Result r = RunOmbrel({"scan", kSatellite, "--from", Path("bad.conf")});
    EXPECT_EQ(r.exitCode, 51u) << r.err;
    EXPECT_NE(r.err.find(Path("bad.conf") + ":3: FREQUENCY '10744 MHz' is not a whole number"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    r = RunOmbrel({"scan", kSatellite, "--from", Path("missing.conf")});
    EXPECT_EQ(r.exitCode, 51u) << r.err;
    EXPECT_NE(r.err.find("cannot read the start file " + Path("missing.conf")), std::string::npos) << r.err;

    // A terrestrial start file for a satellite tuner holds nothing it can scan.
    Write("dvbt.conf", "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBT\n\tFREQUENCY = 474000000\n");
    r = RunOmbrel({"scan", kSatellite, "--from", Path("dvbt.conf")});
    EXPECT_EQ(r.exitCode, 51u) << r.err;
    EXPECT_NE(r.err.find("holds no satellite multiplex"), std::string::npos) << r.err;

    // Satellite options for a terrestrial tuner.
    r = RunOmbrel({"scan", kTerrestrial, "--input", "A"});
    EXPECT_EQ(r.exitCode, 23u) << r.err;
}

TEST_F(OmbrelScan, UnplugAndCtrlCEndTheScanWithWhatWasFoundWritten) {
    // The raster begins at channel 5, which carries a multiplex: once its line is out,
    // the box goes.
    DeleteFileA(Path("unplugged.conf").c_str());
    ConsoleProcess scan = ConsoleProcess::Start("ombrel.exe", {"scan", kTerrestrial, "--out", Path("unplugged.conf")});
    ASSERT_TRUE(scan.WaitForOut("locked, 2 services", kScanWait)) << scan.Out() << scan.Err();
    tunersim::Unplug(kTerrestrial);
    Result r = Finish(scan, kScanWait);
    EXPECT_EQ(r.exitCode, 53u) << r.err << r.out;
    EXPECT_NE(r.err.find("went away during the scan"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Scan ended, the tuner went away: "), std::string::npos) << r.out;
    auto channels = Channels(Path("unplugged.conf"));
    ASSERT_GE(channels.size(), 2u);
    EXPECT_EQ(channels[0].name, "Lumen 1");
    EXPECT_EQ(channels[0].delivery.frequencyKHz, 177500u);

    ConsoleProcess atsc = ConsoleProcess::Start("ombrel.exe", {"scan", kAtsc, "--out", Path("interrupted.conf")});
    ASSERT_TRUE(atsc.WaitForOut("locked, 2 services", kScanWait)) << atsc.Out() << atsc.Err();
    // The rest of the raster at the usual pace, so that Ctrl+C comes before its end.
    tunersim::SetSettleTime(kAtsc, tunersim::layout::kDefaultSettleMs);
    ASSERT_TRUE(atsc.Interrupt());
    r = Finish(atsc, kScanWait);
    EXPECT_EQ(r.exitCode, 54u) << r.err << r.out;
    EXPECT_NE(r.out.find("Scan stopped (Ctrl+C): "), std::string::npos) << r.out;
    channels = Channels(Path("interrupted.conf"));
    ASSERT_GE(channels.size(), 2u);
    EXPECT_EQ(channels[0].name, "TLVX");
    EXPECT_EQ(channels[0].virtualChannel, "34.1");
}
