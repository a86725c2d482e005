// The scan verb's command line, its refusals by family, and what it prints and writes.
#include <gtest/gtest.h>

#include "ChannelFile.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonReader.h"
#include "ScanArguments.h"
#include "ScanFindings.h"
#include "ScanOutput.h"

using namespace ombrel_cli;

namespace {

std::optional<ScanArguments> Scan(std::vector<std::string> rest, std::string* error = nullptr) {
    rest.insert(rest.begin(), {"scan", "0"});
    const ParsedCommandLine parsed = ParseCommandLine(rest);
    if (!parsed.invocation) throw std::runtime_error(parsed.error);
    std::string message;
    auto arguments = ParseScanArguments(*parsed.invocation, message);
    if (error) *error = message;
    return arguments;
}

std::string ScanError(std::vector<std::string> rest) {
    std::string error;
    EXPECT_FALSE(Scan(std::move(rest), &error));
    return error;
}

ScannedMultiplex AsterMultiplex() {
    ScannedMultiplex m;
    m.delivery.system = DeliverySystem::DvbS;
    m.delivery.frequencyKHz = 10744000;
    m.delivery.polarisation = tuning::kHorizontal;
    m.delivery.symbolRate = 22000;
    m.delivery.modulation = tuning::kQpsk;
    m.delivery.fec = 4;
    m.delivery.satelliteNumber = 0;
    m.label = "input A 10744 MHz H 22000 kS/s";
    m.transportStreamId = 0x0401;
    m.originalNetworkId = 0x0A01;
    m.networkId = 0x0A01;
    m.networkName = "Aster";
    m.services.push_back({0x1001, "Aster Eins", "Aster Media", ServiceKind::Television, false, {}, {0x210}, {0x211}, ""});
    m.services.push_back({0x1002, "Güneş TV", "Güneş", ServiceKind::Television, true, {0x4B45}, {0x220}, {0x221}, ""});
    m.services.push_back({0x1003, "Aster Klassik", "Aster Media", ServiceKind::Radio, false, {}, {}, {0x231}, ""});
    return m;
}

}  // namespace

TEST(ScanArguments, OptionsAreReadAndFamiliesRefuseWhatIsNotTheirs) {
    auto a = Scan({});
    ASSERT_TRUE(a);
    EXPECT_EQ(a->inputs, (std::vector<std::uint8_t>{0, 1, 2, 3}));
    EXPECT_FALSE(a->inputsGiven);
    EXPECT_EQ(a->timeout, std::chrono::milliseconds(10000));
    a = Scan({"--input", "b,A,b", "--from", "s.conf", "--out", "c.conf", "--lnb", "10750", "--timeout", "2.5", "--json"});
    ASSERT_TRUE(a);
    EXPECT_EQ(a->inputs, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(a->from, "s.conf");
    EXPECT_EQ(a->out, "c.conf");
    EXPECT_EQ(a->lnb->lofLowKHz, 10750000u);
    EXPECT_EQ(a->lnb->lofHighKHz, 0u);
    EXPECT_EQ(a->timeout, std::chrono::milliseconds(2500));
    EXPECT_TRUE(a->json);
    EXPECT_EQ(ScanError({"--input", "E"}), "--input 'E' is not a list of DiSEqC inputs A, B, C, D (A or A,B)");
    EXPECT_EQ(ScanError({"--input", "A,"}), "--input 'A,' is not a list of DiSEqC inputs A, B, C, D (A or A,B)");
    EXPECT_EQ(ScanError({"--timeout", "0"}), "--timeout '0' is not a number of seconds above 0 and up to 3600");
    EXPECT_NE(ScanError({"--lnb", "1,2"}).find("--lnb '1,2' is neither"), std::string::npos);

    PlanRefusal refusal;
    EXPECT_EQ(ScanFamily(*Scan({}), Reception::Terrestrial, "tuner 3 (T)", refusal), Reception::Terrestrial);
    EXPECT_FALSE(ScanFamily(*Scan({"--input", "A"}), Reception::Atsc, "tuner 3 (T)", refusal));
    EXPECT_EQ(refusal.exitCode, kExitWrongFamily);
    EXPECT_EQ(refusal.message, "--input is for satellite tuners; tuner 3 (T) is an ATSC tuner");
    EXPECT_FALSE(ScanFamily(*Scan({}), Reception::Cable, "tuner 1 (C)", refusal));
    EXPECT_EQ(refusal.exitCode, kExitWrongFamily);
    EXPECT_FALSE(ScanFamily(*Scan({}), Reception::Unknown, "tuner 9 (?)", refusal));
    EXPECT_EQ(refusal.exitCode, kExitUsage);
    EXPECT_EQ(ScanFamily(*Scan({"--family", "satellite", "--lnb", "10750"}), Reception::Unknown, "t", refusal),
              Reception::Satellite);
    EXPECT_FALSE(ScanFamily(*Scan({"--family", "atsc"}), Reception::Satellite, "tuner 2 (S)", refusal));
    EXPECT_EQ(refusal.message, "tuner 2 (S) is a satellite tuner, not ATSC");

    // The verb's help names its options and the exit codes it adds are in the table.
    const std::string help = VerbHelp(*FindVerb("scan"));
    for (const char* text : {"--from FILE", "--input A|B|C|D", "--out FILE", "channels 21", "54"}) {
        EXPECT_NE(help.find(text), std::string::npos) << text;
    }
    for (int code = kExitScanNothing; code <= kExitScanInterrupted; ++code) {
        EXPECT_TRUE(std::any_of(ExitCodeTable().begin(), ExitCodeTable().end(),
                                [&](const ExitCodeText& row) { return row.code == code; }))
            << code;
    }
}

TEST(ScanOutput, ProgressSummaryJsonAndChannelsSayWhatWasFound) {
    const ScannedMultiplex aster = AsterMultiplex();
    ScanAttempt found{3, 12, aster.label, AttemptOutcome::Locked, &aster, 4, std::chrono::milliseconds(420)};
    EXPECT_EQ(ScanProgressText(found),
              " 3 of 12  input A 10744 MHz H 22000 kS/s  locked, 3 services (Aster Eins, Güneş TV, Aster Klassik), "
              "NIT: 4 more  (0.4 s)\n");
    ScanAttempt empty{10, 12, "input C 10744 MHz H 22000 kS/s", AttemptOutcome::NoSignal, nullptr, 0,
                      std::chrono::milliseconds(310)};
    EXPECT_EQ(ScanProgressText(empty), "10 of 12  input C 10744 MHz H 22000 kS/s  no signal  (0.3 s)\n");
    ScannedMultiplex partial = aster;
    partial.missing = "the SDT";
    found.multiplex = &partial;
    found.added = 0;
    EXPECT_NE(ScanProgressText(found).find("; incomplete, missing the SDT"), std::string::npos);

    const auto progress = ombrel_test::ReadJson(ScanProgressJson({3, 12, aster.label, AttemptOutcome::Locked, &aster, 4,
                                                                  std::chrono::milliseconds(420)}));
    EXPECT_EQ(progress["outcome"].Text(), "locked");
    EXPECT_EQ(progress["of"].Integer(), 12);
    EXPECT_EQ(progress["multiplex"]["transport_stream_id"].Integer(), 0x0401);
    EXPECT_EQ(progress["multiplex"]["delivery"]["input"].Text(), "A");
    EXPECT_EQ(progress["multiplex"]["services"][1]["name"].Text(), "Güneş TV");
    EXPECT_EQ(progress["multiplex"]["services"][1]["ca_system_ids"][0].Integer(), 0x4B45);
    EXPECT_EQ(progress["added_from_nit"].Integer(), 4);

    const std::vector<ScannedMultiplex> multiplexes{aster};
    ScanSummary summary{multiplexes, 12, std::chrono::milliseconds(5300), {0}, true, ScanEnd::TunerGone, "c.conf"};
    const std::string text = ScanSummaryText(summary);
    EXPECT_NE(text.find("Scan ended, the tuner went away: 1 multiplex with 3 services (2 television, 1 radio, 1 "
                        "scrambled); 12 candidates tried in 5.3 s.\nInputs with signal: A\n"),
              std::string::npos)
        << text;
    // Columns line up by characters, whatever the names' bytes.
    EXPECT_NE(text.find("0x1002   Güneş TV       television  scrambled"), std::string::npos) << text;
    EXPECT_NE(text.find("Channels written to c.conf"), std::string::npos);
    const auto json = ombrel_test::ReadJson(ScanSummaryJson(summary));
    EXPECT_EQ(json["end"].Text(), "tuner_gone");
    EXPECT_EQ(json["service_count"].Integer(), 3);
    EXPECT_EQ(json["inputs_with_signal"][0].Text(), "A");
    EXPECT_EQ(json["channel_file"].Text(), "c.conf");

    const auto channels = ChannelsOf(multiplexes);
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[2].name, "Aster Klassik");
    EXPECT_EQ(channels[2].serviceId, 0x1003);
    EXPECT_TRUE(channels[2].videoPids.empty());
    EXPECT_EQ(channels[2].delivery, aster.delivery);
    const auto reread = ReadChannelFile(WriteChannelFile(channels), "c.conf");
    ASSERT_TRUE(std::holds_alternative<std::vector<Channel>>(reread));
    EXPECT_EQ(std::get<std::vector<Channel>>(reread), channels);
}

TEST(ScanFindings, TablesBecomeServicesAndTheNitsDeliveries) {
    namespace tables = talvex::tables;
    tables::Multiplex m;
    m.transportStreamId = 0x0402;
    m.originalNetworkId = 0x0A01;
    m.networkId = 0x0A01;
    m.networkName = "Aster";
    tables::Service tv;
    tv.id = 0x1011;
    tv.name = "Aster Drei HD";
    tv.streams = {{0x210, 0x1B, "", {}, {}}, {0x211, 0x06, "deu", {}, {0x0A, 0x6A}}, {0x212, 0x06, "deu", {}, {0x0A, 0x56}}};
    tv.scrambled = true;
    tv.caSystemIds = {0x4B45};
    tables::Service radio;
    radio.id = 0x1003;
    radio.streams = {{0x231, 0x03, "deu", {}, {}}};
    m.services = {radio, tv};
    tables::Transport own;  // DVB-S2 8PSK 2/3, as the NIT codes it
    own.transportStreamId = 0x0402;
    own.originalNetworkId = 0x0A01;
    own.satellite = tables::SatelliteDelivery{11362000, 215, true, tables::Polarisation::LinearHorizontal, 0, true, 2,
                                              22000000, 2};
    tables::Transport other;  // DVB-S QPSK 8/9
    other.transportStreamId = 0x0403;
    other.originalNetworkId = 0x0A01;
    other.satellite = tables::SatelliteDelivery{11597000, 215, true, tables::Polarisation::LinearVertical, 0, false, 1,
                                                27500000, 6};
    tables::Transport cable;  // no delivery a Talvex tuner takes
    cable.transportStreamId = 0x0404;
    m.transports = {own, other, cable};

    const auto deliveries = NetworkDeliveries(m);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[1].system, DeliverySystem::DvbS);
    EXPECT_EQ(deliveries[1].polarisation, tuning::kVertical);
    EXPECT_EQ(deliveries[1].symbolRate, 27500u);
    EXPECT_EQ(deliveries[1].fec, 8);  // 8/9 in the records' numbering
    EXPECT_EQ(deliveries[1].modulation, tuning::kQpsk);

    // Tuned by a sweep point: auto everything, 2 MHz off; the NIT's own entry corrects it.
    Delivery tuned;
    tuned.frequencyKHz = 11364000;
    tuned.symbolRate = 22000;
    tuned.satelliteNumber = 0;
    const ScannedMultiplex found = ScannedFrom(m, tuned, "input A 11364 MHz H", "");
    EXPECT_EQ(found.delivery.system, DeliverySystem::DvbS2);
    EXPECT_EQ(found.delivery.frequencyKHz, 11362000u);
    EXPECT_EQ(found.delivery.modulation, tuning::k8psk);
    EXPECT_EQ(found.delivery.fec, 2);
    EXPECT_EQ(found.delivery.satelliteNumber, 0);
    EXPECT_EQ(found.networkId, 0x0A01);
    ASSERT_EQ(found.services.size(), 2u);
    EXPECT_EQ(found.services[0].kind, ServiceKind::Radio);
    EXPECT_EQ(found.services[0].audioPids, (std::vector<std::uint16_t>{0x231}));
    EXPECT_EQ(found.services[1].kind, ServiceKind::Television);
    EXPECT_EQ(found.services[1].videoPids, (std::vector<std::uint16_t>{0x210}));
    EXPECT_EQ(found.services[1].audioPids, (std::vector<std::uint16_t>{0x211}));  // teletext is private data too, but not sound
    EXPECT_TRUE(found.services[1].scrambled);

    // ATSC: no NIT, the virtual channel from the TVCT.
    tables::Multiplex atsc;
    atsc.standard = tables::Standard::Atsc;
    atsc.transportStreamId = 0x0A11;
    tables::Service vc;
    vc.id = 1;
    vc.name = "TLVX";
    vc.majorChannel = 34;
    vc.minorChannel = 1;
    vc.streams = {{0x210, 0x02, "", {}, {}}, {0x211, 0x81, "eng", {}, {}}};
    atsc.services = {vc};
    Delivery ch34;
    ch34.system = DeliverySystem::Atsc;
    ch34.frequencyKHz = 593000;
    const ScannedMultiplex tlvx = ScannedFrom(atsc, ch34, "channel 34 (593 MHz)", "the TVCT");
    EXPECT_FALSE(tlvx.networkId);
    EXPECT_EQ(tlvx.services[0].virtualChannel, "34.1");
    EXPECT_EQ(tlvx.services[0].audioPids, (std::vector<std::uint16_t>{0x211}));
    EXPECT_EQ(tlvx.missing, "the TVCT");
    EXPECT_EQ(tlvx.delivery, ch34);
}
