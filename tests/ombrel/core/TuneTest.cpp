// The tune and status command lines, the tune worked out for each kind of tuner, and
// what the two verbs print.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "FrontEndOutput.h"
#include "JsonReader.h"
#include "TuneArguments.h"

using namespace ombrel_cli;
using ombrel_test::JsonValue;

namespace {

Invocation Command(std::vector<std::string> arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.invocation) throw std::runtime_error(parsed.error);
    return *parsed.invocation;
}

// The arguments of "tune 0 <rest...>"; the error when they cannot be read.
std::optional<TuneArguments> Tune(std::vector<std::string> rest, std::string* error = nullptr) {
    rest.insert(rest.begin(), {"tune", "0"});
    std::string message;
    auto arguments = ParseTuneArguments(Command(rest), message);
    if (error) *error = message;
    return arguments;
}

std::string TuneError(std::vector<std::string> rest) {
    std::string error;
    EXPECT_FALSE(Tune(std::move(rest), &error));
    return error;
}

struct Planned {
    std::optional<TunePlan> plan;
    PlanRefusal refusal;
};

Planned Plan(std::vector<std::string> rest, Reception model) {
    Planned planned;
    const auto arguments = Tune(std::move(rest));
    if (!arguments) throw std::runtime_error("arguments not read");
    planned.plan = PlanTune(*arguments, model, "tuner 0 (Test)", planned.refusal);
    return planned;
}

JsonValue Read(const std::string& text) { return ombrel_test::ReadJson(text); }

FrontEndReading Locked() {
    FrontEndReading r;
    r.flag = tuning::kFlagLocked;
    r.frequencyHz = 11623000000ULL;
    r.locked = r.carrier = true;
    r.strength = 76;
    r.quality = 84;
    r.bitErrorRate = 90;
    r.uncorrectedBlocks = 3;
    r.snrTenthsDb = 118;
    return r;
}

}  // namespace

TEST(TuneArguments, ValuesAreReadInTheirUnitsAndNamesInAnyCase) {
    // Frequencies: MHz with up to three decimals, or kHz with the unit.
    for (const auto& [text, kHz] : std::vector<std::pair<std::string, std::uint32_t>>{
             {"11623", 11623000}, {"177.5", 177500}, {"1873.25", 1873250}, {"474000kHz", 474000},
             {"474000KHZ", 474000}, {"11623MHz", 11623000}, {"0.001", 1}}) {
        const auto a = Tune({text});
        ASSERT_TRUE(a) << text;
        EXPECT_EQ(a->frequencyKHz, kHz) << text;
    }
    for (const std::string text : {"abc", "0", "1.2345", "12.", ".", "-474", "474.5kHz", "1e4", ""}) {
        EXPECT_NE(TuneError({"--", text}).find("' is no frequency: give MHz"), std::string::npos) << text;
    }
    EXPECT_EQ(TuneError({"11623000"}),
              "frequency '11623000' lies beyond every band: give MHz (11623, 177.5) or kHz with the unit (474000kHz)");

    const auto a = Tune({"11623", "--pol", "v", "--symbol-rate", "27500", "--modulation", "8PSK", "--fec", "9/10",
                         "--lnb", "9750,10600,11700.5", "--diseqc", "b", "--pids", "0,0x1FF,256,all", "--timeout", "2.5",
                         "--family", "Satellite", "--json"});
    ASSERT_TRUE(a);
    EXPECT_EQ(a->polarisation, tuning::kVertical);
    EXPECT_EQ(a->symbolRate, 27500u);
    EXPECT_EQ(a->modulation, tuning::k8psk);
    EXPECT_EQ(a->fec, tuning::kFec9_10);
    ASSERT_TRUE(a->lnb);
    EXPECT_EQ(a->lnb->lofLowKHz, 9750000u);
    EXPECT_EQ(a->lnb->lofHighKHz, 10600000u);
    EXPECT_EQ(a->lnb->switchKHz, 11700500u);
    EXPECT_EQ(a->diseqcPort, 1);
    EXPECT_EQ(a->pids, (std::vector<std::uint16_t>{0, 0x1FF, 256, tuning::kPidAll}));
    EXPECT_EQ(a->timeout, std::chrono::milliseconds(2500));
    EXPECT_EQ(a->family, Reception::Satellite);
    EXPECT_TRUE(a->json);

    const auto defaults = Tune({"474", "--lnb", "10750", "--bandwidth", "7", "--guard", "1/8", "--mode", "8K"});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->timeout, std::chrono::milliseconds(10000));
    EXPECT_EQ(defaults->lnb->lofHighKHz, 0u);  // one oscillator: a single-band LNB
    EXPECT_EQ(defaults->bandwidthMHz, 7);
    EXPECT_EQ(defaults->guard, 3);
    EXPECT_EQ(defaults->mode, 2);
    EXPECT_FALSE(defaults->polarisation || defaults->symbolRate || defaults->pids || defaults->family);

    EXPECT_EQ(TuneError({"1", "--pol", "x"}), "--pol 'x' is not one of H, V, L or R");
    EXPECT_EQ(TuneError({"1", "--diseqc", "E"}), "--diseqc 'E' is not one of A, B, C or D");
    EXPECT_EQ(TuneError({"1", "--bandwidth", "5"}), "--bandwidth '5' is not one of 6, 7 or 8");
    EXPECT_EQ(TuneError({"1", "--family", "cable"}), "--family 'cable' is not one of satellite, terrestrial or atsc");
    EXPECT_EQ(TuneError({"1", "--symbol-rate", "27500000"}),
              "--symbol-rate '27500000' is not a rate in kS/s from 1000 to 45000 (27500, not 27500000)");
    EXPECT_NE(TuneError({"1", "--symbol-rate", "999"}).find("is not a rate in kS/s"), std::string::npos);
    EXPECT_EQ(Tune({"1", "--symbol-rate", "45000"})->symbolRate, 45000u);
    for (const std::string lnb : {"9750,10600", "10600,9750,11700", "9750,,11700", "x"}) {
        EXPECT_FALSE(TuneError({"1", "--lnb", lnb}).empty()) << lnb;
    }
    for (const std::string pids : {"8193", "0x2001", "0x", "1,,2", "0x12345", "-1"}) {
        EXPECT_NE(TuneError({"1", "--pids", pids}).find("is no PID (0 to 8191, 0x0 to 0x1FFF, or all: 8192, 0x2000)"),
                  std::string::npos)
            << pids;
    }
    EXPECT_EQ(Tune({"1", "--pids", "8191,0x2000"})->pids, (std::vector<std::uint16_t>{8191, 0x2000}));
    EXPECT_EQ(TuneError({"1", "--timeout", "0"}), "--timeout '0' is not a number of seconds above 0 and up to 3600");
    EXPECT_FALSE(TuneError({"1", "--timeout", "3600.001"}).empty());
    EXPECT_EQ(Tune({"1", "--timeout", "0.05"})->timeout, std::chrono::milliseconds(50));

    std::string error;
    const auto status = ParseStatusArguments(Command({"status", "0", "--follow", "--interval", "0.25", "--json"}), error);
    ASSERT_TRUE(status) << error;
    EXPECT_TRUE(status->follow && status->json);
    EXPECT_EQ(status->interval, std::chrono::milliseconds(250));
    EXPECT_EQ(ParseStatusArguments(Command({"status", "0"}), error)->interval, std::chrono::milliseconds(1000));
    EXPECT_FALSE(ParseStatusArguments(Command({"status", "0", "--interval", "2"}), error));
    EXPECT_EQ(error, "--interval needs --follow");
}

TEST(TunePlan, SatelliteTunesGoThroughTheLnbAndItsBandSwitch) {
    const auto tune = [](std::vector<std::string> rest) {
        Planned planned = Plan(std::move(rest), Reception::Satellite);
        EXPECT_TRUE(planned.plan) << planned.refusal.message;
        return planned.plan ? std::get<SatelliteTune>(planned.plan->tune) : SatelliteTune{};
    };
    // Universal LNB by default: the low band below 11700 MHz, the high band from there on.
    SatelliteTune t = tune({"11623", "--pol", "V", "--symbol-rate", "27500", "--diseqc", "B"});
    EXPECT_FALSE(t.highBand);
    EXPECT_EQ(t.intermediateKHz, 1873000u);
    EXPECT_EQ(t.lnb.lofLowKHz, 9750000u);
    EXPECT_EQ(t.modulation, tuning::kModulationAuto);
    EXPECT_EQ(DiseqcSwitchMessage(t), (std::vector<std::uint8_t>{0xE0, 0x10, 0x38, 0xF4}));
    t = tune({"11700", "--pol", "h", "--symbol-rate", "27500", "--diseqc", "A"});
    EXPECT_TRUE(t.highBand);
    EXPECT_EQ(t.intermediateKHz, 1100000u);
    EXPECT_EQ(DiseqcSwitchMessage(t), (std::vector<std::uint8_t>{0xE0, 0x10, 0x38, 0xF3}));
    t = tune({"12500", "--pol", "L", "--symbol-rate", "27500", "--diseqc", "D"});
    EXPECT_EQ(DiseqcSwitchMessage(t), (std::vector<std::uint8_t>{0xE0, 0x10, 0x38, 0xFF}));
    // A single-band LNB never switches; an oscillator above the band mirrors it.
    t = tune({"12000", "--pol", "V", "--symbol-rate", "27500", "--lnb", "10750"});
    EXPECT_FALSE(t.highBand);
    EXPECT_EQ(t.intermediateKHz, 1250000u);
    EXPECT_FALSE(t.diseqcPort);
    t = tune({"3800", "--pol", "R", "--symbol-rate", "27500", "--lnb", "5150"});
    EXPECT_EQ(t.intermediateKHz, 1350000u);

    Planned p = Plan({"9000", "--pol", "H", "--symbol-rate", "27500"}, Reception::Satellite);
    ASSERT_FALSE(p.plan);
    EXPECT_EQ(p.refusal.exitCode, kExitUsage);
    EXPECT_EQ(p.refusal.message,
              "9000 MHz through the LNB 9750/10600/11700 MHz gives an intermediate frequency of 750 MHz, outside the "
              "tuner's 950 to 2150 MHz: give the downlink frequency in MHz, and --lnb for another LNB");
    // The band's edges themselves are tuned.
    EXPECT_TRUE(Plan({"10700", "--pol", "H", "--symbol-rate", "27500"}, Reception::Satellite).plan);
    EXPECT_FALSE(Plan({"10699.999", "--pol", "H", "--symbol-rate", "27500"}, Reception::Satellite).plan);
    EXPECT_TRUE(Plan({"12750", "--pol", "H", "--symbol-rate", "27500"}, Reception::Satellite).plan);
    EXPECT_FALSE(Plan({"12750.001", "--pol", "H", "--symbol-rate", "27500"}, Reception::Satellite).plan);

    p = Plan({"11623", "--symbol-rate", "27500"}, Reception::Satellite);
    EXPECT_EQ(p.refusal.message, "a satellite tune needs --pol (H, V, L or R)");
    p = Plan({"11623", "--pol", "V"}, Reception::Satellite);
    EXPECT_EQ(p.refusal.message, "a satellite tune needs --symbol-rate (kS/s, e.g. 27500)");
    p = Plan({"11623", "--pol", "V", "--symbol-rate", "27500", "--modulation", "qam64"}, Reception::Satellite);
    EXPECT_EQ(p.refusal.message, "--modulation qam64 is no satellite modulation: auto, qpsk or 8psk");
    std::string pids = "0";
    for (int pid = 1; pid < 29; ++pid) pids += "," + std::to_string(pid);
    EXPECT_TRUE(Plan({"11623", "--pol", "V", "--symbol-rate", "27500", "--pids", pids}, Reception::Satellite).plan);
    p = Plan({"11623", "--pol", "V", "--symbol-rate", "27500", "--pids", pids + ",29"}, Reception::Satellite);
    EXPECT_EQ(p.refusal.exitCode, kExitUsage);
    EXPECT_EQ(p.refusal.message, "--pids lists 30 PIDs; a satellite tuner takes at most 29");
}

TEST(TunePlan, TerrestrialTunesAndTheRefusalsOfTheWrongFamily) {
    Planned p = Plan({"177.5", "--bandwidth", "7", "--modulation", "qam64", "--fec", "3/4", "--pids", "0,16"},
                     Reception::Terrestrial);
    ASSERT_TRUE(p.plan) << p.refusal.message;
    EXPECT_EQ(p.plan->family, Reception::Terrestrial);
    TerrestrialTune t = std::get<TerrestrialTune>(p.plan->tune);
    EXPECT_EQ(t.frequencyKHz, 177500u);
    EXPECT_EQ(t.bandwidthMHz, 7);
    EXPECT_EQ(t.modulation, tuning::kQam64);
    EXPECT_EQ(t.fec, 3);
    EXPECT_EQ(p.plan->pids, (std::vector<std::uint16_t>{0, 16}));
    // ATSC: the same requests, 6 MHz and 8VSB.
    p = Plan({"593"}, Reception::Atsc);
    ASSERT_TRUE(p.plan);
    EXPECT_EQ(p.plan->family, Reception::Atsc);
    EXPECT_EQ(std::get<TerrestrialTune>(p.plan->tune).bandwidthMHz, 6);
    EXPECT_TRUE(Plan({"593", "--modulation", "8vsb"}, Reception::Atsc).plan);
    EXPECT_EQ(Plan({"593", "--modulation", "qam64"}, Reception::Atsc).refusal.message,
              "--modulation qam64 is no ATSC modulation: auto or 8vsb");
    EXPECT_EQ(Plan({"474", "--modulation", "8vsb"}, Reception::Terrestrial).refusal.message,
              "--modulation 8vsb is no terrestrial modulation: auto, qpsk, qam16 or qam64");
    EXPECT_EQ(Plan({"474", "--fec", "9/10"}, Reception::Terrestrial).refusal.message,
              "--fec 9/10 is a satellite code rate: terrestrial ones are auto, 1/2, 2/3, 3/4, 5/6 or 7/8");
    EXPECT_EQ(Plan({"11623"}, Reception::Terrestrial).refusal.message,
              "11623 MHz lies outside the terrestrial band (47 to 862 MHz)");
    EXPECT_TRUE(Plan({"47"}, Reception::Terrestrial).plan);
    EXPECT_TRUE(Plan({"862"}, Reception::Terrestrial).plan);
    EXPECT_FALSE(Plan({"46.999"}, Reception::Terrestrial).plan);
    EXPECT_EQ(Plan({"474", "--pids", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28"},
                   Reception::Terrestrial)
                  .refusal.message,
              "--pids lists 28 PIDs; a terrestrial tuner takes at most 27");

    // The other family's options, a cable tuner, a family the model contradicts: refused
    // as a wrong family, before anything is sent.
    struct Case {
        std::vector<std::string> rest;
        Reception model;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"11623", "--pol", "V", "--symbol-rate", "27500"}, Reception::Terrestrial, kExitWrongFamily,
         "--pol is for satellite tuners; tuner 0 (Test) is a terrestrial tuner"},
        {{"474", "--diseqc", "A"}, Reception::Atsc, kExitWrongFamily,
         "--diseqc is for satellite tuners; tuner 0 (Test) is an ATSC tuner"},
        {{"11623", "--pol", "V", "--symbol-rate", "27500", "--bandwidth", "8"}, Reception::Satellite, kExitWrongFamily,
         "--bandwidth is for terrestrial tuners; tuner 0 (Test) is a satellite tuner"},
        {{"474"}, Reception::Cable, kExitWrongFamily,
         "tuner 0 (Test) is a cable tuner: ombrel tunes satellite and terrestrial tuners"},
        {{"474", "--family", "satellite"}, Reception::Terrestrial, kExitWrongFamily,
         "tuner 0 (Test) is a terrestrial tuner, not satellite"},
        {{"474"}, Reception::Unknown, kExitUsage,
         "the model of tuner 0 (Test) is not known, and so not what it receives: give --family satellite, "
         "terrestrial or atsc"},
    };
    for (const Case& c : cases) {
        p = Plan(c.rest, c.model);
        EXPECT_FALSE(p.plan) << c.message;
        EXPECT_EQ(p.refusal.exitCode, c.exitCode) << c.message;
        EXPECT_EQ(p.refusal.message, c.message);
    }
    // A model ombrel does not know is tuned as the user says; a known one as it is.
    p = Plan({"474", "--family", "terrestrial"}, Reception::Unknown);
    ASSERT_TRUE(p.plan);
    EXPECT_EQ(p.plan->family, Reception::Terrestrial);
    EXPECT_TRUE(Plan({"474", "--family", "terrestrial"}, Reception::Terrestrial).plan);
}

TEST(FrontEndOutput, StatusAsTextLinesAndJson) {
    EXPECT_EQ(HzText(11623000000ULL), "11623 MHz");
    EXPECT_EQ(HzText(177500000), "177.5 MHz");
    EXPECT_EQ(HzText(1873250001), "1873.250001 MHz");
    EXPECT_EQ(KHzText(474000), "474 MHz");
    EXPECT_EQ(KHzText(1), "0.001 MHz");
    EXPECT_EQ(LnbText(LnbSetting{}), "9750/10600/11700 MHz");
    EXPECT_EQ(LnbText(LnbSetting{10750000, 0, 0}), "10750 MHz (single band)");
    EXPECT_EQ(TuningFlagText(0), "busy");
    EXPECT_EQ(TuningFlagText(-1), "no signal");
    EXPECT_EQ(TuningFlagText(7), "flag 7");
    EXPECT_EQ(BitErrorRateText(0), "0");
    EXPECT_EQ(BitErrorRateText(52000), "5.2e-04");

    const FrontEndReading locked = Locked();
    EXPECT_EQ(StatusText(locked),
              "Tuning flag:        locked (11623 MHz)\n"
              "Locked:             yes\n"
              "Carrier:            yes\n"
              "Signal strength:    76 %\n"
              "Signal quality:     84 %\n"
              "Signal to noise:    11.8 dB\n"
              "Bit error rate:     9.0e-07 (90 per 10^8 bits)\n"
              "Uncorrected blocks: 3\n");
    EXPECT_EQ(StatusLine(locked, "14:02:03"),
              "14:02:03  locked     11623 MHz       signal  76 %  quality  84 %  SNR 11.8 dB  BER 9.0e-07  uncorrected 3\n");
    FrontEndReading idle;
    idle.frequencyHz = 5;  // only a lock's frequency is shown
    EXPECT_EQ(StatusLine(idle, "00:00:00"),
              "00:00:00  busy       -               signal   0 %  quality   0 %  SNR 0 dB  BER 0  uncorrected 0\n");
    EXPECT_EQ(StatusText(idle).rfind("Tuning flag:        busy\nLocked:             no\n", 0), 0u);

    JsonValue json = Read(StatusJson(locked));
    EXPECT_EQ(json["tuning"].Text(), "locked");
    EXPECT_EQ(json["flag"].Integer(), 1);
    EXPECT_EQ(json["frequencyHz"].Integer(), 11623000000LL);
    EXPECT_TRUE(json["locked"].Bool());
    EXPECT_TRUE(json["carrier"].Bool());
    EXPECT_EQ(json["signalStrength"].Integer(), 76);
    EXPECT_EQ(json["signalQuality"].Integer(), 84);
    EXPECT_DOUBLE_EQ(json["signalToNoiseDb"].number, 11.8);
    EXPECT_EQ(json["bitErrorsPer1e8"].Integer(), 90);
    EXPECT_EQ(json["uncorrectedBlocks"].Integer(), 3);
    idle.flag = tuning::kFlagNoSignal;
    json = Read(StatusJson(idle));
    EXPECT_EQ(json["tuning"].Text(), "no signal");
    EXPECT_EQ(json["flag"].Integer(), -1);
    EXPECT_TRUE(json["frequencyHz"].IsNull());
    EXPECT_FALSE(json["locked"].Bool());
}

TEST(FrontEndOutput, TheTuneSentAndHowItEnded) {
    const TunePlan satellite =
        *Plan({"11623", "--pol", "V", "--symbol-rate", "27500", "--diseqc", "B", "--pids", "0,0x100,all"},
              Reception::Satellite)
             .plan;
    EXPECT_EQ(TunePlanText(satellite),
              "Tune:               satellite 11623 MHz V, 27500 kS/s, modulation auto, FEC auto\n"
              "LNB:                9750/10600/11700 MHz, low band, intermediate frequency 1873 MHz, DiSEqC port B\n"
              "PIDs:               0x0000, 0x0100, all\n");
    const TunePlan dvbt = *Plan({"177.5", "--bandwidth", "7", "--guard", "1/8", "--mode", "8k"}, Reception::Terrestrial).plan;
    EXPECT_EQ(TunePlanText(dvbt), "Tune:               terrestrial 177.5 MHz, 7 MHz bandwidth, modulation auto, FEC auto, "
                                  "guard interval 1/8, mode 8k\n");
    EXPECT_EQ(TunePlanText(*Plan({"593"}, Reception::Atsc).plan),
              "Tune:               ATSC 593 MHz, 6 MHz bandwidth, modulation auto\n");

    const std::chrono::milliseconds elapsed(312);
    EXPECT_EQ(TuneResultText(TuneOutcome::Locked, Locked(), elapsed), "locked on 11623 MHz after 0.3 s");
    EXPECT_EQ(TuneResultText(TuneOutcome::NoSignal, {}, elapsed), "no signal after 0.3 s");
    EXPECT_EQ(TuneResultText(TuneOutcome::TimedOut, {}, std::chrono::milliseconds(10000)), "still settling after 10.0 s");
    EXPECT_EQ(TuneFailureText(TuneOutcome::Locked, dvbt, elapsed), "");
    EXPECT_EQ(TuneFailureText(TuneOutcome::NoSignal, dvbt, elapsed),
              "no lock: the front end found no multiplex at 177.5 MHz with these settings");
    EXPECT_EQ(TuneFailureText(TuneOutcome::TimedOut, dvbt, std::chrono::milliseconds(2500)),
              "no lock within 2.5 s: the front end is still settling (--timeout allows longer)");
    EXPECT_EQ(TuneFailureText(TuneOutcome::Interrupted, dvbt, elapsed),
              "stopped waiting for lock; the tuner keeps the tune");

    // A satellite tune that finds nothing names the DiSEqC input it was made on, and how
    // to choose another: the one it chose, where ombrel left the switch, or that it is
    // not known.
    const std::string nothing = "no lock: the front end found no multiplex at 11623 MHz with these settings";
    EXPECT_EQ(TuneFailureText(TuneOutcome::NoSignal, satellite, elapsed, 0),
              nothing + ", on DiSEqC input B (--diseqc A..D chooses another input)");
    const TunePlan unswitched = *Plan({"11623", "--pol", "V", "--symbol-rate", "27500"}, Reception::Satellite).plan;
    EXPECT_EQ(TuneFailureText(TuneOutcome::NoSignal, unswitched, elapsed, 1),
              nothing + "; the DiSEqC switch points at input B, where 'ombrel tune --diseqc B' left it: --diseqc A..D "
                        "chooses another input");
    EXPECT_EQ(TuneFailureText(TuneOutcome::NoSignal, unswitched, elapsed),
              nothing + "; no --diseqc was given, so the DiSEqC switch stays at the input it was last set to: "
                        "--diseqc A..D chooses one");
    EXPECT_EQ(TuneFailureText(TuneOutcome::TimedOut, unswitched, std::chrono::milliseconds(2500), 3),
              "no lock within 2.5 s: the front end is still settling (--timeout allows longer)");

    TunerLine line;
    line.index = 2;
    line.model = "Talvex S2";
    line.guid = "0100e5d4c3b2a100";
    line.attached = true;
    const auto same = [](std::string_view text) { return std::string(text); };
    JsonValue json = Read(TuneJson(line, satellite, TuneOutcome::Locked, elapsed, Locked(), same));
    EXPECT_EQ(json["tuner"]["index"].Integer(), 2);
    EXPECT_EQ(json["tuner"]["guid"].Text(), "0100E5D4C3B2A100");
    const JsonValue& tune = json["tune"];
    EXPECT_EQ(tune["family"].Text(), "satellite");
    EXPECT_EQ(tune["frequencyKHz"].Integer(), 11623000);
    EXPECT_EQ(tune["polarisation"].Text(), "V");
    EXPECT_EQ(tune["symbolRate"].Integer(), 27500);
    EXPECT_EQ(tune["modulation"].Text(), "auto");
    EXPECT_EQ(tune["fec"].Text(), "auto");
    EXPECT_EQ(tune["lnb"]["lofLowKHz"].Integer(), 9750000);
    EXPECT_EQ(tune["lnb"]["lofHighKHz"].Integer(), 10600000);
    EXPECT_EQ(tune["lnb"]["switchKHz"].Integer(), 11700000);
    EXPECT_FALSE(tune["highBand"].Bool());
    EXPECT_EQ(tune["intermediateKHz"].Integer(), 1873000);
    EXPECT_EQ(tune["diseqcPort"].Text(), "B");
    EXPECT_EQ(tune["pids"].Integers(), (std::vector<long long>{0, 256, 0x2000}));
    EXPECT_EQ(json["result"].Text(), "locked");
    EXPECT_EQ(json["elapsedMs"].Integer(), 312);
    EXPECT_EQ(json["status"]["signalQuality"].Integer(), 84);

    json = Read(TuneJson(line, dvbt, TuneOutcome::TimedOut, elapsed, {}, same));
    EXPECT_EQ(json["tune"]["family"].Text(), "terrestrial");
    EXPECT_EQ(json["tune"]["frequencyKHz"].Integer(), 177500);
    EXPECT_EQ(json["tune"]["bandwidthMHz"].Integer(), 7);
    EXPECT_EQ(json["tune"]["guard"].Text(), "1/8");
    EXPECT_EQ(json["tune"]["mode"].Text(), "8k");
    EXPECT_TRUE(json["tune"]["pids"].IsNull());
    EXPECT_FALSE(json["tune"].Has("polarisation"));
    EXPECT_EQ(json["result"].Text(), "timeout");
    EXPECT_EQ(json["status"]["tuning"].Text(), "busy");
}
