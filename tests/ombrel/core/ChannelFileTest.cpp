// Channel and start files in the DVBv5 tools' format: what is written, that it reads back
// the same, and that every fault names the file, the line and the reason.
#include <gtest/gtest.h>

#include "ChannelFile.h"
#include "TuneArguments.h"

using namespace ombrel_cli;

namespace {

Channel SatelliteChannel() {
    Channel c;
    c.name = "Aster Eins";
    c.delivery.system = DeliverySystem::DvbS;
    c.delivery.frequencyKHz = 10744000;
    c.delivery.polarisation = tuning::kHorizontal;
    c.delivery.symbolRate = 22000;
    c.delivery.modulation = tuning::kQpsk;
    c.delivery.fec = 4;  // 5/6
    c.delivery.satelliteNumber = 0;
    c.serviceId = 0x1001;
    c.videoPids = {0x210};
    c.audioPids = {0x211, 0x212};
    return c;
}

Channel TerrestrialChannel() {
    Channel c;
    c.name = "Città TV";
    c.delivery.system = DeliverySystem::DvbT;
    c.delivery.frequencyKHz = 177500;
    c.delivery.bandwidthMHz = 7;
    c.delivery.modulation = tuning::kQam64;
    c.delivery.fec = 3;    // 3/4
    c.delivery.guard = 3;  // 1/8
    c.delivery.mode = 2;   // 8k
    c.serviceId = 0x3013;
    c.videoPids = {0x230};
    c.audioPids = {0x231};
    return c;
}

Channel AtscChannel() {
    Channel c;
    c.name = "TLVX-WX";
    c.delivery.system = DeliverySystem::Atsc;
    c.delivery.frequencyKHz = 593000;
    c.delivery.bandwidthMHz = 6;
    c.delivery.modulation = tuning::k8vsb;
    c.serviceId = 2;
    c.videoPids = {0x220};
    c.audioPids = {0x221};
    c.virtualChannel = "34.2";
    return c;
}

std::string ErrorOf(std::string_view text) {
    const auto read = ReadChannelFile(text, "ch.conf");
    if (const auto* error = std::get_if<FileError>(&read)) return error->Text();
    return "(read)";
}

}  // namespace

TEST(ChannelFile, EachFamilyIsWrittenInTheToolsUnitsAndReadsBackTheSame) {
    const std::vector<Channel> channels{SatelliteChannel(), TerrestrialChannel(), AtscChannel()};
    const std::string text = WriteChannelFile(channels);
    EXPECT_EQ(text,
              "[Aster Eins]\n"
              "\tSERVICE_ID = 4097\n"
              "\tVIDEO_PID = 528\n"
              "\tAUDIO_PID = 529 530\n"
              "\tSAT_NUMBER = 0\n"
              "\tPOLARIZATION = HORIZONTAL\n"
              "\tFREQUENCY = 10744000\n"
              "\tSYMBOL_RATE = 22000000\n"
              "\tINNER_FEC = 5/6\n"
              "\tMODULATION = QPSK\n"
              "\tINVERSION = AUTO\n"
              "\tDELIVERY_SYSTEM = DVBS\n"
              "\n"
              "[Città TV]\n"
              "\tSERVICE_ID = 12307\n"
              "\tVIDEO_PID = 560\n"
              "\tAUDIO_PID = 561\n"
              "\tFREQUENCY = 177500000\n"
              "\tMODULATION = QAM/64\n"
              "\tBANDWIDTH_HZ = 7000000\n"
              "\tCODE_RATE_HP = 3/4\n"
              "\tGUARD_INTERVAL = 1/8\n"
              "\tTRANSMISSION_MODE = 8K\n"
              "\tINVERSION = AUTO\n"
              "\tDELIVERY_SYSTEM = DVBT\n"
              "\n"
              "[TLVX-WX]\n"
              "\tVCHANNEL = 34.2\n"
              "\tSERVICE_ID = 2\n"
              "\tVIDEO_PID = 544\n"
              "\tAUDIO_PID = 545\n"
              "\tFREQUENCY = 593000000\n"
              "\tMODULATION = VSB/8\n"
              "\tINVERSION = AUTO\n"
              "\tDELIVERY_SYSTEM = ATSC\n"
              "\n");
    const auto read = ReadChannelFile(text, "ch.conf");
    ASSERT_TRUE(std::holds_alternative<std::vector<Channel>>(read)) << std::get<FileError>(read).Text();
    EXPECT_EQ(std::get<std::vector<Channel>>(read), channels);

    // A name that would break the section line is mended, and an empty one named by its service.
    Channel odd = SatelliteChannel();
    odd.name = "Bad]\nName";
    Channel unnamed = SatelliteChannel();
    unnamed.name = "";
    const std::string oddText = WriteChannelFile(std::vector<Channel>{odd, unnamed});
    EXPECT_EQ(oddText.substr(0, 12), "[Bad  Name]\n");
    EXPECT_NE(oddText.find("[service 4097]\n"), std::string::npos);
}

TEST(ChannelFile, FilesOfTheLinuxToolsAreReadWithWhatTheyAddAndWhatTheyLeaveOut) {
    // As the tools write them: comments, spaces instead of tabs, keys a Talvex tuner has
    // no use for, and values left to their defaults.
    const auto read = ReadChannelFile("# written by a scan\r\n"
                                      "[Lumen 2]\r\n"
                                      "    SERVICE_ID = 12305\n"
                                      "    VIDEO_PID = 544\n"
                                      "    AUDIO_PID = 545 546\n"
                                      "    PID_06 = 560\n"
                                      "    FREQUENCY = 474000000\n"
                                      "    CODE_RATE_LP = NONE\n"
                                      "    HIERARCHY = NONE\n"
                                      "    DELIVERY_SYSTEM = DVBT\n"
                                      "\n"
                                      "[Borealis One HD]\n"
                                      "\tLNB = UNIVERSAL\n"
                                      "\tROLLOFF = 35\n\tPILOT = AUTO\n\tSTREAM_ID = 0\n"
                                      "\tFREQUENCY = 10971000\n\tPOLARIZATION = VERTICAL\n\tSYMBOL_RATE = 29700000\n"
                                      "\tMODULATION = PSK/8\n\tDELIVERY_SYSTEM = DVBS2\n",
                                      "x.conf");
    ASSERT_TRUE(std::holds_alternative<std::vector<Channel>>(read)) << std::get<FileError>(read).Text();
    const auto& channels = std::get<std::vector<Channel>>(read);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0].name, "Lumen 2");
    EXPECT_EQ(channels[0].serviceId, 12305);
    EXPECT_EQ(channels[0].audioPids, (std::vector<std::uint16_t>{545, 546}));
    EXPECT_EQ(channels[0].delivery.frequencyKHz, 474000u);
    EXPECT_EQ(channels[0].delivery.bandwidthMHz, 8);  // DVB-T's default
    EXPECT_EQ(channels[0].delivery.fec, tuning::kFecAuto);
    EXPECT_EQ(channels[1].delivery.system, DeliverySystem::DvbS2);
    EXPECT_EQ(channels[1].delivery.symbolRate, 29700u);
    EXPECT_EQ(channels[1].delivery.polarisation, tuning::kVertical);
    EXPECT_FALSE(channels[1].delivery.satelliteNumber);
    EXPECT_FALSE(channels[1].serviceId);
}

TEST(ChannelFile, FaultsNameTheFileLineAndReason) {
    const std::string dvbs = "[A]\n\tFREQUENCY = 10744000\n\tPOLARIZATION = HORIZONTAL\n\tSYMBOL_RATE = 22000000\n";
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n"), "(read)");
    EXPECT_EQ(ErrorOf(""), "ch.conf: no [NAME] section: not a channel file");
    EXPECT_EQ(ErrorOf("\tFREQUENCY = 1\n"), "ch.conf:1: FREQUENCY comes before the first [NAME]");
    EXPECT_EQ(ErrorOf("# x\n[A\n"), "ch.conf:2: a section name has no closing ']'");
    EXPECT_EQ(ErrorOf("[ ]\n"), "ch.conf:1: a section has no name");
    EXPECT_EQ(ErrorOf("[A]\nFREQUENCY 1\n"), "ch.conf:2: 'FREQUENCY 1' is neither [NAME] nor KEY = value");
    EXPECT_EQ(ErrorOf("[A]\n = 1\n"), "ch.conf:2: a line has a value but no key");
    EXPECT_EQ(ErrorOf(dvbs), "ch.conf:1: [A] has no DELIVERY_SYSTEM");
    EXPECT_EQ(ErrorOf("[A]\n\tDELIVERY_SYSTEM = DVBT\n"), "ch.conf:1: [A] has no FREQUENCY");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBC/ANNEX_A\n"),
              "ch.conf:5: DELIVERY_SYSTEM DVBC/ANNEX_A is not one Talvex tuners take (DVBS, DVBS2, DVBT, ATSC)");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVB-S\n"),
              "ch.conf:5: DELIVERY_SYSTEM 'DVB-S' is not one of DVBS, DVBS2, DVBT, ATSC");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 2\n"), "ch.conf:6: FREQUENCY is given twice in [A]");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tINNER_FEC = 6/7\n"),
              "ch.conf:6: INNER_FEC 6/7 is not one Talvex tuners take (AUTO, 1/2, 2/3, 3/4, 5/6, 7/8, 3/5, 4/5, 8/9, 9/10)");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tSAT_NUMBER = 4\n"), "ch.conf:6: SAT_NUMBER 4 is above 3");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tVIDEO_PID = 512 9000\n"), "ch.conf:6: VIDEO_PID 9000 is above 8191");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tSERVICE_ID = 0x10\n"),
              "ch.conf:6: SERVICE_ID '0x10' is not a whole number");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tFREQENCY = 1\n"), "ch.conf:6: unknown key FREQENCY in [A]");
    EXPECT_EQ(ErrorOf(dvbs + "\tDELIVERY_SYSTEM = DVBS\n\tINVERSION = MAYBE\n"),
              "ch.conf:6: INVERSION 'MAYBE' is not one of OFF, ON, AUTO");
    EXPECT_EQ(ErrorOf("[A]\n\tFREQUENCY = 10744000\n\tSYMBOL_RATE = 22000000\n\tDELIVERY_SYSTEM = DVBS\n"),
              "ch.conf:1: [A] has no POLARIZATION");
    EXPECT_EQ(ErrorOf("[T]\n\tFREQUENCY = 474\n\tDELIVERY_SYSTEM = DVBT\n"),
              "ch.conf:2: FREQUENCY 474 is below 1 MHz: give it in Hz (474000000)");
    EXPECT_EQ(ErrorOf("[T]\n\tFREQUENCY = 474000000\n\tBANDWIDTH_HZ = 5000000\n\tDELIVERY_SYSTEM = DVBT\n"),
              "ch.conf:3: BANDWIDTH_HZ 5000000 is not 6000000, 7000000 or 8000000");
    EXPECT_EQ(ErrorOf("[T]\n\tFREQUENCY = 474000000\n\tGUARD_INTERVAL = 1/128\n\tDELIVERY_SYSTEM = DVBT\n"),
              "ch.conf:3: GUARD_INTERVAL 1/128 is not one Talvex tuners take (AUTO, 1/32, 1/16, 1/8, 1/4)");
}

TEST(StartFile, MultiplexesAreReadOnceEachInOrder) {
    const std::string text =
        "# Aster, 21.5E\n"
        "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10744000\n\tPOLARIZATION = HORIZONTAL\n"
        "\tSYMBOL_RATE = 22000000\n\tINNER_FEC = 5/6\n\tMODULATION = QPSK\n\tINVERSION = AUTO\n"
        "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS2\n\tFREQUENCY = 10971000\n\tPOLARIZATION = VERTICAL\n"
        "\tSYMBOL_RATE = 29700000\n\tSAT_NUMBER = 1\n"
        "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10744000\n\tPOLARIZATION = HORIZONTAL\n"
        "\tSYMBOL_RATE = 22000000\n\tINNER_FEC = 5/6\n\tMODULATION = QPSK\n\tINVERSION = AUTO\n";
    const auto read = ReadStartFile(text, "start.conf");
    ASSERT_TRUE(std::holds_alternative<std::vector<Delivery>>(read)) << std::get<FileError>(read).Text();
    const auto& deliveries = std::get<std::vector<Delivery>>(read);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].frequencyKHz, 10744000u);
    EXPECT_EQ(deliveries[0].fec, 4);
    EXPECT_FALSE(deliveries[0].satelliteNumber);
    EXPECT_EQ(deliveries[1].system, DeliverySystem::DvbS2);
    EXPECT_EQ(deliveries[1].satelliteNumber, 1);

    const auto bad = ReadStartFile("[CHANNEL]\n\tDELIVERY_SYSTEM = DVBT\n\tFREQUENCY = lots\n", "start.conf");
    ASSERT_TRUE(std::holds_alternative<FileError>(bad));
    EXPECT_EQ(std::get<FileError>(bad).Text(), "start.conf:3: FREQUENCY 'lots' is not a whole number");
    const auto empty = ReadStartFile("# nothing\n", "start.conf");
    ASSERT_TRUE(std::holds_alternative<FileError>(empty));
    EXPECT_EQ(std::get<FileError>(empty).Text(), "start.conf: no [CHANNEL] section: not a start file");
}
