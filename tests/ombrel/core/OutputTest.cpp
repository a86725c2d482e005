// Text and JSON output of list, info and watch; JSON is read back.
#include <gtest/gtest.h>

#include "JsonOutput.h"
#include "JsonReader.h"
#include "TextOutput.h"

using namespace ombrel_cli;
using ombrel_test::JsonValue;

namespace {

TunerLine Line(std::optional<unsigned long> index, DriverModel model, std::string name, std::string guid,
               std::optional<FirmwareBytes> firmware = FirmwareBytes{1, 0x34, 4, 1, 3, 0, 0xAE, 0x6A}) {
    TunerLine line;
    line.index = index;
    line.driverModel = model;
    line.model = std::move(name);
    line.guid = std::move(guid);
    line.subunit = 0;
    line.firmware = firmware;
    line.attached = index.has_value();
    return line;
}

// Latin-1 as a stand-in for the system code page.
std::string Latin1ToUtf8(std::string_view text) {
    std::string utf8;
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

JsonValue Read(const std::string& text) { return ombrel_test::ReadJson(text); }

}  // namespace

TEST(TextOutput, ListTableAlignsItsColumns) {
    const std::vector<TunerLine> tuners = {
        Line(0, DriverModel::Wdm, "Talvex S2", "0100e5d4c3b2a100"),
        Line(1, DriverModel::Bda, "Unknown Device Type", "0200E5D4C3B2A100", std::nullopt),
        Line(12, DriverModel::Unknown, "Error", "Error"),
    };
    EXPECT_EQ(ListTable(tuners),
              "Index  Driver  Model                GUID              Subunit  Firmware            State\n"
              "0      WDM     Talvex S2            0100E5D4C3B2A100  0        1.3.0, Build 44650  attached\n"
              "1      BDA     Unknown Device Type  0200E5D4C3B2A100  0        -                   attached\n"
              "12     ?       Error                ERROR             0        1.3.0, Build 44650  attached\n");
    // Watch lines keep the usual widths whatever the line holds.
    TunerLine gone = Line(std::nullopt, DriverModel::Bda, "Talvex S/CI", "0300e5d4c3b2a100");
    gone.subunit.reset();
    EXPECT_EQ(WatchLine(TunerEvent::Detached, gone),
              "detached  -      BDA     Talvex S/CI          0300E5D4C3B2A100  -        1.3.0, Build 44650  detached\n");
    EXPECT_EQ(WatchLine(TunerEvent::Attached, tuners[0]).substr(0, 20), "attached  0      WDM");
    // The time at the start of follow lines, with or without the milliseconds.
    EXPECT_EQ(ClockText(9, 5, 3), "09:05:03");
    EXPECT_EQ(ClockText(23, 59, 59, 7u), "23:59:59.007");
    EXPECT_EQ(HexBytesText(std::vector<std::uint8_t>{0x01, 0xAB, 0x00}), "01 AB 00");
    EXPECT_EQ(HexBytesText({}), "");
    EXPECT_EQ(Hex16Text(0x01AB), "0x01AB");
    EXPECT_EQ(Hex16Text(0xFFFF), "0xFFFF");
}

TEST(TextOutput, InfoSaysWhatWasReadAndWhatWasNot) {
    TunerDetails details;
    details.line = Line(2, DriverModel::Wdm, "Talvex S2", "0100e5d4c3b2a100");
    details.displayName = "@device:sw:{X}\\talvexsim#0#00a1b2c3d4e50001#{x}";
    details.friendlyName = "Ombrel WDM";
    details.guidLow = 0xD4E50001;
    details.guidHigh = 0x00A1B2C3;
    details.driverVersion = "TVX 4.2.1.1810";
    details.systemInfo = std::array<std::uint8_t, 8>{1, 0x34, 4, 0, 0x10, 0x20, 0x30, 0x40};
    details.boardTemperature = std::array<std::uint8_t, 4>{0x2A, 0, 0, 0};
    details.commonInterface = CommonInterface::Present;
    details.image = CarriedImageInfo{"FW_013404", "Release 1.5.0 Build 22720"};
    EXPECT_EQ(InfoText(details),
              "Index:              2\n"
              "Model:              Talvex S2\n"
              "Driver model:       WDM\n"
              "GUID:               0100E5D4C3B2A100 (identifier 0x00A1B2C3D4E50001)\n"
              "Subunit:            0\n"
              "State:              attached\n"
              "Display name:       @device:sw:{X}\\talvexsim#0#00a1b2c3d4e50001#{x}\n"
              "Friendly name:      Ombrel WDM\n"
              "Firmware version:   1.3.0, Build 44650\n"
              "Hardware:           product line 1, model code 0x34, revision 0x4\n"
              "Firmware record:    01 34 04 01 03 00 AE 6A\n"
              "Driver version:     TVX 4.2.1.1810\n"
              "System info:        01 34 04 00 10 20 30 40\n"
              "Board temperature:  2A 00 00 00\n"
              "Common Interface:   yes\n"
              "Update image:       FW_013404, Release 1.5.0 Build 22720\n");

    TunerDetails unread;
    unread.line = Line(std::nullopt, DriverModel::Bda, "Error", "Error", std::nullopt);
    unread.line.subunit.reset();
    unread.imageNote = "unknown (the firmware version could not be read)";
    const std::string text = InfoText(unread);
    for (const char* item : {"Index:              -\n", "GUID:               ERROR\n", "Subunit:            unavailable\n",
                             "State:              detached\n", "Firmware version:   unavailable\n",
                             "Driver version:     unavailable\n", "System info:        unavailable\n",
                             "Board temperature:  unavailable\n", "Common Interface:   unknown\n",
                             "Update image:       unknown (the firmware version could not be read)\n"}) {
        EXPECT_NE(text.find(item), std::string::npos) << item << " not in\n" << text;
    }
    EXPECT_EQ(text.find("Hardware:"), std::string::npos);

    // What the session's open said: a slot, none, or one that a session holds now.
    details.commonInterface = CommonInterface::Absent;
    EXPECT_NE(InfoText(details).find("Common Interface:   no\n"), std::string::npos);
    details.commonInterface = CommonInterface::InUse;
    EXPECT_NE(InfoText(details).find("Common Interface:   yes, in use\n"), std::string::npos);
}

TEST(JsonOutput, ListInfoAndWatchReadBack) {
    const std::vector<TunerLine> tuners = {Line(0, DriverModel::Wdm, "Talvex S2", "0100e5d4c3b2a100"),
                                           Line(1, DriverModel::Bda, "Nubrik C/CI", "0300e5d4c3b2a100", std::nullopt)};
    const std::string list = ListJson(tuners, Latin1ToUtf8);
    ASSERT_EQ(list.back(), '\n');
    EXPECT_EQ(list.find('\n'), list.size() - 1);
    const JsonValue read = Read(list);
    ASSERT_EQ(read["tuners"].items.size(), 2u);
    const JsonValue& first = read["tuners"][0];
    EXPECT_EQ(first["index"].Integer(), 0);
    EXPECT_EQ(first["driverModel"].Text(), "WDM");
    EXPECT_EQ(first["model"].Text(), "Talvex S2");
    EXPECT_EQ(first["guid"].Text(), "0100E5D4C3B2A100");
    EXPECT_EQ(first["subunit"].Integer(), 0);
    EXPECT_EQ(first["firmware"]["productLine"].Integer(), 1);
    EXPECT_EQ(first["firmware"]["modelCode"].Integer(), 0x34);
    EXPECT_EQ(first["firmware"]["hardwareRevision"].Integer(), 4);
    EXPECT_EQ(first["firmware"]["version"].Text(), "1.3.0");
    EXPECT_EQ(first["firmware"]["build"].Integer(), 44650);
    EXPECT_TRUE(first["attached"].Bool());
    EXPECT_TRUE(read["tuners"][1]["firmware"].IsNull());
    EXPECT_TRUE(Read(ListJson({}, Latin1ToUtf8))["tuners"].items.empty());

    TunerDetails details;
    details.line = Line(std::nullopt, DriverModel::Wdm, "Talvex S2", "0100e5d4c3b2a100");
    details.displayName = "@device:sw:{X}\\a\"b";
    details.friendlyName = "Caf\xE9 \x01tuner";  // Latin-1 e-acute and a control character
    details.guidLow = 0xD4E50001;
    details.guidHigh = 0x00A1B2C3;
    details.systemInfo = std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 255};
    details.commonInterface = CommonInterface::Absent;
    const std::string info = InfoJson(details, Latin1ToUtf8);
    // Pure ASCII, whatever the texts hold.
    EXPECT_TRUE(std::all_of(info.begin(), info.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_NE(info.find("Caf\\u00e9 \\u0001tuner"), std::string::npos) << info;
    const JsonValue infoRead = Read(info);
    EXPECT_TRUE(infoRead["tuner"]["index"].IsNull());
    EXPECT_FALSE(infoRead["tuner"]["attached"].Bool());
    EXPECT_EQ(infoRead["displayName"].Text(), "@device:sw:{X}\\a\"b");
    EXPECT_EQ(infoRead["friendlyName"].Text(), "Caf\xC3\xA9 \x01tuner");
    EXPECT_EQ(infoRead["guidLow"].Integer(), 0xD4E50001LL);
    EXPECT_EQ(infoRead["guidHigh"].Integer(), 0x00A1B2C3LL);
    EXPECT_EQ(infoRead["firmwareRecord"].Integers(), (std::vector<long long>{1, 0x34, 4, 1, 3, 0, 0xAE, 0x6A}));
    EXPECT_TRUE(infoRead["driverVersion"].IsNull());
    EXPECT_EQ(infoRead["systemInfo"].Integers(), (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 255}));
    EXPECT_TRUE(infoRead["boardTemperature"].IsNull());
    EXPECT_FALSE(infoRead["commonInterface"].Bool());
    EXPECT_FALSE(infoRead["commonInterfaceInUse"].Bool());
    EXPECT_TRUE(infoRead["updateImage"].IsNull());
    details.commonInterface = CommonInterface::InUse;
    EXPECT_TRUE(Read(InfoJson(details, Latin1ToUtf8))["commonInterface"].Bool());
    EXPECT_TRUE(Read(InfoJson(details, Latin1ToUtf8))["commonInterfaceInUse"].Bool());
    details.commonInterface = CommonInterface::Present;
    EXPECT_TRUE(Read(InfoJson(details, Latin1ToUtf8))["commonInterface"].Bool());
    EXPECT_FALSE(Read(InfoJson(details, Latin1ToUtf8))["commonInterfaceInUse"].Bool());
    details.commonInterface = CommonInterface::Unknown;
    EXPECT_TRUE(Read(InfoJson(details, Latin1ToUtf8))["commonInterface"].IsNull());
    EXPECT_TRUE(Read(InfoJson(details, Latin1ToUtf8))["commonInterfaceInUse"].IsNull());
    details.commonInterface = CommonInterface::Absent;
    details.image = CarriedImageInfo{"FW_013404", "Release 1.5.0 Build 22720"};
    EXPECT_EQ(Read(InfoJson(details, Latin1ToUtf8))["updateImage"]["release"].Text(), "Release 1.5.0 Build 22720");

    const std::string watch = WatchJson(TunerEvent::Detached, details.line, Latin1ToUtf8);
    EXPECT_EQ(watch.find('\n'), watch.size() - 1);
    const JsonValue event = Read(watch);
    EXPECT_EQ(event["event"].Text(), "detached");
    EXPECT_EQ(event["tuner"]["guid"].Text(), "0100E5D4C3B2A100");
}

TEST(JsonOutput, QuotingEscapesEverythingButPrintableAscii) {
    EXPECT_EQ(JsonQuote("plain"), "\"plain\"");
    EXPECT_EQ(JsonQuote("a\"b\\c\n\r\t\x1F\x7F"), "\"a\\\"b\\\\c\\n\\r\\t\\u001f\\u007f\"");
    EXPECT_EQ(JsonQuote("\xE2\x82\xAC"), "\"\\u20ac\"");                  // euro sign
    EXPECT_EQ(JsonQuote("\xF0\x9F\x93\xBA"), "\"\\ud83d\\udcfa\"");       // a character past U+FFFF
    // Bytes that are not UTF-8 (cut sequences, overlong forms, surrogates) become U+FFFD.
    EXPECT_EQ(JsonQuote("\xE2\x82"), "\"\\ufffd\"");
    EXPECT_EQ(JsonQuote("\xC0\xAF"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonQuote("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonQuote(std::string("a\0b", 3)), "\"a\\u0000b\"");
    const JsonValue round = Read(JsonQuote("\xF0\x9F\x93\xBA \xE2\x82\xAC x"));
    EXPECT_EQ(round.Text(), "\xF0\x9F\x93\xBA \xE2\x82\xAC x");
}
