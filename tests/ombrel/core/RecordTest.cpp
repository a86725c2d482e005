// 'services' and 'record' without a tuner: the services' text and JSON, the choice of a
// service, the arguments, the live line, and the file writer against a disk that fails.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonReader.h"
#include "PacketFileWriter.h"
#include "RecordArguments.h"
#include "DeliveryTune.h"
#include "RecordChannel.h"
#include "RecordLine.h"
#include "RecordPlan.h"
#include "StreamKinds.h"
#include "ServicesOutput.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

using namespace ombrel_cli;
using ombrel_test::JsonValue;
namespace tables = talvex::tables;

namespace {

Invocation Command(std::vector<std::string> arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.invocation) throw std::runtime_error(parsed.error);
    return *parsed.invocation;
}

std::optional<RecordArguments> Record(std::vector<std::string> rest, std::string& error) {
    rest.insert(rest.begin(), {"record", "3"});
    return ParseRecordArguments(Command(rest), error);
}

// 2026-12-09 18:00:00 UTC.
constexpr std::int64_t kSixPm = 1796839200;

tables::Multiplex Lumen() {
    tables::Multiplex m;
    m.transportStreamId = 0x0602;
    m.originalNetworkId = 0x3101;
    m.utcUnix = kSixPm + 125;
    tables::Service clear;
    clear.id = 0x3011;
    clear.name = "Lumen 2";
    clear.provider = "Lumen";
    clear.type = tables::service_type::kDigitalTelevision;
    clear.pmtPid = 0x0101;
    clear.pcrPid = 0x0210;
    clear.streams = {{0x0210, 0x02, "", {}, {}}, {0x0211, 0x03, "eng", {}, {}}};
    tables::Event cooking;
    cooking.id = 7;
    cooking.startUnix = kSixPm;
    cooking.durationSeconds = 1800;
    cooking.name = "Cooking";
    clear.present = cooking;
    tables::Event travel = cooking;
    travel.id = 8;
    travel.startUnix = kSixPm + 1800;
    travel.name = "Travel";
    clear.following = travel;
    tables::Service pay;
    pay.id = 0x3012;
    pay.name = "Lumen Sport+";
    pay.provider = "Lumen Pay";
    pay.type = tables::service_type::kDigitalTelevision;
    pay.pmtPid = 0x0102;
    pay.pcrPid = 0x0220;
    pay.streams = {{0x0220, 0x02, "", {}, {}}, {0x0221, 0x06, "eng", {}, {0x0A, 0x6A}}};
    pay.ca = {{0x4B45, 0x1F02}};
    pay.caSystemIds = {0x4B45};
    pay.scrambled = true;
    tables::Service radio;
    radio.id = 0x3014;
    radio.name = "Citt\xC3\xA0 Radio";  // UTF-8, as the tables give names
    radio.type = tables::service_type::kDigitalRadio;
    radio.pmtPid = 0x0104;
    radio.pcrPid = 0x0241;
    radio.streams = {{0x0241, 0x03, "ita", {}, {}}};
    m.services = {clear, pay, radio};
    return m;
}

TunerLine Tci() {
    TunerLine line;
    line.index = 3;
    line.driverModel = DriverModel::Wdm;
    line.model = "Talvex T/CI";
    line.guid = "0400E5D4C3B2A100";
    line.subunit = 0;
    line.attached = true;
    return line;
}

std::string Passed(std::string_view text) { return std::string(text); }

std::vector<std::uint8_t> Packets(std::size_t count) {
    std::vector<std::uint8_t> bytes(count * kPacketBytes);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i * kPacketBytes] = 0x47;
        for (std::size_t j = 1; j < kPacketBytes; ++j) bytes[i * kPacketBytes + j] = static_cast<std::uint8_t>(i + j);
    }
    return bytes;
}

}  // namespace

TEST(Services, TextAndJsonShowEveryServiceWithItsStreamsAccessAndEvents) {
    const tables::Multiplex lumen = Lumen();
    const std::string text = ServicesText(3, Tci(), lumen);
    for (const char* line : {
             "Tuner:              3, Talvex T/CI (WDM), GUID 0400E5D4C3B2A100\n",
             "Multiplex:          transport stream 0x0602, original network 0x3101, 3 services\n",
             "Time:               2026-12-09T18:02:05Z\n",
             "\n0x3011  TV    Lumen 2\n        provider   Lumen\n        access     clear\n"
             "        PIDs       PMT 0x0101, PCR 0x0210\n                   0x0210  MPEG-2 video\n"
             "                   0x0211  MPEG-1 audio (eng)\n"
             "        now        18:00-18:30 UTC  Cooking\n        next       18:30-19:00 UTC  Travel\n",
             "\n0x3012  TV    Lumen Sport+\n        provider   Lumen Pay\n"
             "        access     scrambled (CA system 0x4B45, ECM PID 0x1F02)\n",
             "                   0x0221  AC-3 audio (eng)\n",
             "\n0x3014  radio Citt\xC3\xA0 Radio\n        access     clear\n",
         }) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nnot in\n" << text;
    }
    // Nothing said of what the tables do not hold: no provider, no events for the radio.
    EXPECT_EQ(text.substr(text.find("0x3014")).find("provider"), std::string::npos);
    EXPECT_EQ(text.substr(text.find("0x3014")).find("now"), std::string::npos);

    const JsonValue json = ombrel_test::ReadJson(ServicesJson(Tci(), lumen, &Passed));
    EXPECT_EQ(json["tuner"]["guid"].Text(), "0400E5D4C3B2A100");
    EXPECT_EQ(json["multiplex"]["transportStreamId"].Integer(), 0x0602);
    EXPECT_EQ(json["multiplex"]["time"].Text(), "2026-12-09T18:02:05Z");
    const JsonValue& services = json["services"];
    ASSERT_EQ(services.items.size(), 3u);
    EXPECT_EQ(services[0]["name"].Text(), "Lumen 2");
    EXPECT_FALSE(services[0]["scrambled"].Bool());
    EXPECT_EQ(services[0]["present"]["name"].Text(), "Cooking");
    EXPECT_EQ(services[0]["present"]["start"].Text(), "2026-12-09T18:00:00Z");
    EXPECT_EQ(services[0]["following"]["durationSeconds"].Integer(), 1800);
    EXPECT_EQ(services[0]["streams"][1]["pid"].Integer(), 0x0211);
    EXPECT_EQ(services[0]["streams"][1]["streamType"].Integer(), 3);
    EXPECT_EQ(services[0]["streams"][1]["language"].Text(), "eng");
    EXPECT_TRUE(services[1]["scrambled"].Bool());
    EXPECT_EQ(services[1]["caSystemIds"].Integers(), std::vector<long long>{0x4B45});
    EXPECT_EQ(services[1]["ecmPids"].Integers(), std::vector<long long>{0x1F02});
    EXPECT_EQ(services[2]["name"].Text(), "Citt\xC3\xA0 Radio");
    EXPECT_EQ(services[2]["kind"].Text(), "radio");
    EXPECT_TRUE(services[2]["present"].IsNull());

    // Dates across a leap day and before 1970 come out right.
    EXPECT_EQ(UtcText(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(UtcText(-1), "1969-12-31T23:59:59Z");
    // Private data is named by its descriptors; an unknown type by its number.
    EXPECT_EQ(tables::FormatText({0x100, 0x1B, "", {}, {}}), "H.264 video");
    EXPECT_EQ(tables::FormatText({0x100, 0x86, "", {}, {}}), "stream type 0x86");
    EXPECT_EQ(tables::FormatText({0x100, 0x06, "", {}, {0x0A, 0x7A}}), "E-AC-3 audio");
    EXPECT_EQ(tables::FormatText({0x100, 0x06, "", {}, {0x56}}), "teletext");
    EXPECT_EQ(tables::FormatText({0x100, 0x06, "", {}, {0x0A}}), "private data");
    EXPECT_EQ(tables::KindOf({0x100, 0x06, "", {}, {0x59}}), tables::StreamKind::Subtitles);
    EXPECT_EQ(ServiceTypeText(tables::Standard::Atsc, 0x02), "TV");
}

TEST(Record, TheServiceIsFoundByIdOrNameAndTheOthersListedWhenNot) {
    tables::Multiplex m = Lumen();
    EXPECT_EQ(FindService(m, ParseServiceChoice("0x3012"))->name, "Lumen Sport+");
    EXPECT_EQ(FindService(m, ParseServiceChoice("12305"))->name, "Lumen 2");
    EXPECT_EQ(FindService(m, ParseServiceChoice("lumen sport+"))->id, 0x3012);
    EXPECT_EQ(FindService(m, ParseServiceChoice("Lumen")), nullptr) << "the start of a name names nothing";
    EXPECT_EQ(FindService(m, ParseServiceChoice("0x3013")), nullptr);
    // A number that is no id may still be a name; two names that differ only in case
    // leave a caseless choice open, while the exact name still chooses.
    m.services[2].name = "1800";
    EXPECT_EQ(FindService(m, ParseServiceChoice("1800"))->id, 0x3014);
    m.services[2].name = "LUMEN 2";
    EXPECT_EQ(FindService(m, ParseServiceChoice("lumen 2")), nullptr);
    EXPECT_EQ(FindService(m, ParseServiceChoice("LUMEN 2"))->id, 0x3014);
    EXPECT_EQ(ServiceListText(Lumen()), "  0x3011  Lumen 2 (TV, clear)\n  0x3012  Lumen Sport+ (TV, scrambled)\n"
                                        "  0x3014  Citt\xC3\xA0 Radio (radio, clear)\n");
    ASSERT_EQ(ScrambledServices(Lumen()).size(), 1u);
    EXPECT_EQ(ScrambledServices(Lumen())[0]->id, 0x3012);

    const std::vector<std::uint16_t> pids{0x0000, 0x0011, 0x0012, 0x0014, 0x0101, 0x0210, 0x0211};
    EXPECT_EQ(PidFilterFor(pids, 27), pids);
    EXPECT_EQ(PidFilterFor(pids, 7), pids);
    EXPECT_EQ(PidFilterFor(pids, 6), std::nullopt);
    EXPECT_EQ(PidFilterFor({}, 27), std::nullopt);
    EXPECT_EQ(PidListText({0, 0x11, 0x1FFF}), "0x0000, 0x0011, 0x1FFF");
}

TEST(Record, ArgumentsAreReadOrRefusedWithTheirReason) {
    std::string error;
    auto a = Record({"--out", "f.ts", "--service", "Lumen 2", "--duration", "10.5", "--require-clear", "--channel",
                     "Lumen 2", "--channels", "c.conf", "--timeout", "3"},
                    error);
    ASSERT_TRUE(a) << error;
    EXPECT_EQ(a->out, "f.ts");
    EXPECT_EQ(a->service->text, "Lumen 2");
    EXPECT_FALSE(a->service->id);
    EXPECT_EQ(a->duration, std::chrono::milliseconds(10500));
    EXPECT_TRUE(a->requireClear);
    EXPECT_EQ(a->channel, "Lumen 2");
    EXPECT_EQ(a->channelsFile, "c.conf");
    EXPECT_EQ(a->timeout, std::chrono::milliseconds(3000));
    a = Record({"--out", "f.ts"}, error);
    ASSERT_TRUE(a) << error;
    EXPECT_FALSE(a->service || a->duration || a->requireClear || a->channel);

    const struct {
        std::vector<std::string> rest;
        const char* reason;
    } refused[] = {
        {{"--service", "1"}, "record needs --out FILE"},
        {{"--out", "f.ts", "--duration", "0"}, "--duration '0' is not a number of seconds above 0"},
        {{"--out", "f.ts", "--duration", "1.2345"}, "--duration '1.2345'"},
        {{"--out", "f.ts", "--duration", "86401"}, "up to 86400"},
        {{"--out", "f.ts", "--duration", "1e3"}, "--duration '1e3'"},
        {{"--out", "f.ts", "--channel", "Lumen 2"}, "--channel needs --channels FILE"},
        {{"--out", "f.ts", "--channels", "c.conf"}, "--channels needs --channel NAME"},
        {{"--out", "f.ts", "--timeout", "x"}, "--timeout 'x'"},
    };
    for (const auto& c : refused) {
        error.clear();
        EXPECT_FALSE(Record(c.rest, error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_EQ(ParseDuration("86400", error), std::chrono::milliseconds(86400000));
    EXPECT_EQ(ParseServiceChoice("0x3011").id, 0x3011);
    EXPECT_EQ(ParseServiceChoice("70000").id, std::nullopt);
    EXPECT_EQ(ParseServiceChoice("0x").id, std::nullopt);

    const auto services = ParseServicesArguments(Command({"services", "3", "--json", "--timeout", "2.5"}), error);
    ASSERT_TRUE(services) << error;
    EXPECT_TRUE(services->json);
    EXPECT_EQ(services->timeout, std::chrono::milliseconds(2500));
}

TEST(Record, TheLiveLineIsRedrawnOnAConsoleAndWrittenEveryFewSecondsElsewhere) {
    RecordFigures f;
    f.elapsed = std::chrono::milliseconds(10000);
    f.bytes = 2460000;
    f.continuityGaps = 2;
    f.scrambled = 40;
    EXPECT_EQ(RecordFiguresText(f), "0:10  2.46 MB  1.97 Mbit/s  transport errors 0  continuity gaps 2  scrambled 40");
    f.dropped = 5;
    EXPECT_NE(RecordFiguresText(f).find("  dropped 5"), std::string::npos);
    EXPECT_EQ(ByteCountText(812345), "812 kB");
    EXPECT_EQ(ByteCountText(188), "188 bytes");

    LiveLine console(true, std::chrono::milliseconds(5000));
    RecordFigures longer = f;
    longer.elapsed = std::chrono::milliseconds(3723000);  // 1:02:03, a longer text
    const std::string first = console.Update(longer);
    EXPECT_EQ(first, "\r" + RecordFiguresText(longer));
    const std::string second = console.Update(f);
    EXPECT_EQ(second.size(), first.size()) << "spaces cover the longer line drawn before";
    EXPECT_EQ(console.Finish(f).back(), '\n');

    LiveLine file(false, std::chrono::milliseconds(5000));
    int lines = 0;
    for (int ms = 0; ms <= 12000; ms += 250) {
        RecordFigures at;
        at.elapsed = std::chrono::milliseconds(ms);
        const std::string out = file.Update(at);
        if (!out.empty()) {
            ++lines;
            EXPECT_EQ(out.back(), '\n');
            EXPECT_EQ(out.find('\r'), std::string::npos);
        }
    }
    EXPECT_EQ(lines, 3) << "at 0, 5 and 10 s";
}

TEST(Record, TheWriterKeepsEveryPacketInOrderAndReportsAFullDisk) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "ombrel_record_test";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "out.ts").string();
    std::string error;
    auto writer = PacketFileWriter::Create(path, error);
    ASSERT_TRUE(writer) << error;
    const std::vector<std::uint8_t> packets = Packets(1000);
    for (std::size_t i = 0; i < 1000; i += 10) EXPECT_TRUE(writer->Append(packets.data() + i * kPacketBytes, 10));
    EXPECT_EQ(writer->Close(), std::nullopt);
    EXPECT_EQ(writer->BytesWritten(), packets.size());
    EXPECT_FALSE(writer->Append(packets.data(), 1)) << "nothing is taken once closed";
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> back{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(back, packets);

    // More than the bound held: dropped and counted, never a stall.
    auto small = PacketFileWriter::Create(path, error, 150 * kPacketBytes);
    ASSERT_TRUE(small) << error;
    for (int i = 0; i < 200; ++i) small->Append(packets.data(), 100);
    EXPECT_EQ(small->Close(), std::nullopt);
    EXPECT_EQ(small->BytesWritten() + small->DroppedPackets() * kPacketBytes, 200 * 100 * kPacketBytes);
    EXPECT_EQ(small->BytesWritten() % kPacketBytes, 0u);

    EXPECT_FALSE(PacketFileWriter::Create((folder / "no such folder" / "x.ts").string(), error));
    EXPECT_NE(error.find("cannot write '"), std::string::npos) << error;
    std::filesystem::remove_all(folder);

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to stand for a full disk";
    auto full = PacketFileWriter::Create("/dev/full", error);
    ASSERT_TRUE(full) << error;
    EXPECT_TRUE(full->Append(packets.data(), 100));
    for (int i = 0; i < 500 && !full->Failed(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(full->Failed());
    EXPECT_FALSE(full->Append(packets.data(), 1)) << "a failed writer takes nothing more";
    const auto failure = full->Close();
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure, "cannot write '/dev/full': the disk is full");
}

TEST(Record, AChannelOfAChannelFileIsFoundAndTunedAsTuneWould) {
    Channel news;
    news.name = "Borealis News";
    news.delivery.system = DeliverySystem::DvbS;
    news.delivery.frequencyKHz = 11623000;
    news.delivery.polarisation = tuning::kVertical;
    news.delivery.symbolRate = 27500;
    news.delivery.satelliteNumber = 1;
    news.serviceId = 0x2011;
    Channel lumen;
    lumen.name = "Lumen 2";
    lumen.delivery.system = DeliverySystem::DvbT;
    lumen.delivery.frequencyKHz = 474000;
    lumen.delivery.bandwidthMHz = 8;
    lumen.delivery.guard = 4;
    const std::vector<Channel> channels{news, lumen};
    EXPECT_EQ(FindChannel(channels, "Lumen 2"), &channels[1]);
    EXPECT_EQ(FindChannel(channels, "borealis NEWS"), &channels[0]);
    EXPECT_EQ(FindChannel(channels, "Borealis"), nullptr);
    EXPECT_EQ(ChannelNamesText(channels), "Borealis News, Lumen 2");

    PlanRefusal refusal;
    auto plan = PlanTune(TuneArgumentsFor(news.delivery, std::chrono::milliseconds(5000)), Reception::Satellite,
                         "tuner 2 (Talvex S2)", refusal);
    ASSERT_TRUE(plan) << refusal.message;
    const auto& satellite = std::get<SatelliteTune>(plan->tune);
    EXPECT_EQ(satellite.frequencyKHz, 11623000u);
    EXPECT_EQ(satellite.symbolRate, 27500u);
    EXPECT_EQ(satellite.polarisation, tuning::kVertical);
    EXPECT_EQ(satellite.diseqcPort, 1);
    EXPECT_EQ(satellite.intermediateKHz, 1873000u);
    plan = PlanTune(TuneArgumentsFor(lumen.delivery, std::chrono::milliseconds(5000)), Reception::Terrestrial,
                    "tuner 3 (Talvex T/CI)", refusal);
    ASSERT_TRUE(plan) << refusal.message;
    EXPECT_EQ(std::get<TerrestrialTune>(plan->tune).bandwidthMHz, 8);
    EXPECT_EQ(std::get<TerrestrialTune>(plan->tune).guard, 4);
    // A channel of the other family is refused as 'tune' refuses it.
    EXPECT_FALSE(PlanTune(TuneArgumentsFor(lumen.delivery, std::chrono::milliseconds(5000)), Reception::Satellite,
                          "tuner 2 (Talvex S2)", refusal));
    EXPECT_EQ(refusal.exitCode, kExitWrongFamily);
    EXPECT_NE(refusal.message.find("is a satellite tuner, not terrestrial"), std::string::npos) << refusal.message;
}
