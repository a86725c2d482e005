// The real ombrel.exe run as a user's shell runs it (standard streams on pipes, exit
// code, Ctrl+C) against OmbrelApi.dll, Romflux.exe's images, the companion programs
// and the simulated tuners.
#include <gtest/gtest.h>

#include <windows.h>
#include <OmbrelApi.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ConsoleProcess.h"
#include "FirmwareImage.h"
#include "JsonReader.h"
#include "RemoteKeymap.h"
#include "SharedFlags.h"
#include "TunerSimControl.h"
#include "UiDriver.h"
#include "UpdatePoll.h"

using namespace ombrel_test;

namespace {

constexpr DWORD kWait = 30000;
constexpr const char* kS2 = "00a1b2c3d4e50001";       // talvex-s2, WDM, image FW_013404
constexpr const char* kBothBox = "00a1b2c3d4e50003";  // nubrik-cci-r1, WDM and BDA
constexpr const char* kPellary = "00a1b2c3d4e50006";  // no image carried
constexpr const wchar_t* kRemote = L"Talvex Remote Control";
constexpr const wchar_t* kCi = L"Talvex Common Interface";

// The library's GUID text of a simulated box: the id's byte pairs in reverse order.
std::string GuidOf(const std::string& id) {
    std::string guid;
    for (std::size_t pair = id.size(); pair >= 2; pair -= 2) guid += id.substr(pair - 2, 2);
    std::transform(guid.begin(), guid.end(), guid.begin(), [](char c) { return static_cast<char>(toupper(c)); });
    return guid;
}

const std::map<std::string, std::string>& ModelNames() {
    static const std::map<std::string, std::string> names{
        {"00a1b2c3d4e50001", "Talvex S2"},   {"00a1b2c3d4e50002", "Talvex S/CI"}, {"00a1b2c3d4e50003", "Nubrik C/CI"},
        {"00a1b2c3d4e50004", "Talvex T/CI"}, {"00a1b2c3d4e50005", "Talvex T/CI"}, {"00a1b2c3d4e50006", "Pellary SATV"}};
    return names;
}

JsonValue Json(const std::string& text) { return ReadJson(text); }

std::vector<int> ProgressPercents(const std::string& out) {
    std::vector<int> percents;
    for (const std::string& line : Lines(out)) {
        if (line.empty() || line[0] != '[') continue;
        const std::size_t close = line.find(']');
        percents.push_back(std::stoi(line.substr(close + 1)));
    }
    return percents;
}

std::string FirmwareBytesOf(const firmware::ImageParams& params) { return firmware::BuildImage(params); }

class OmbrelCli : public ::testing::Test {
protected:
    void SetUp() override {
        EndStrayCompanions();
        tunersim::Reset();
        tunersim::EnsureFilterRegistered();
        for (const tunersim::DeviceProfile& box : tunersim::DemoSet()) tunersim::Plug(box, false);
        // Long hold: the box does not reboot while a test looks at the end of a run.
        tunersim::SetUpdateTiming(kS2, 1600, 60000);
    }

    void TearDown() override {
        tunersim::Reset();
        EndStrayCompanions();
    }

    static void EndStrayCompanions() {
        for (const wchar_t* name : {kRemote, kCi}) uidriver::EndOwnersOfWindowsOfClass(name, kWait);
    }

    void StartCompanions() {
        const std::wstring tools = uidriver::BinDirectory() + L"Tools\\";
        remote_ = uidriver::Process::Launch(tools + L"TalvexRemote.exe", L"", tools);
        ci_ = uidriver::Process::Launch(tools + L"TalvexCI.exe", L"", tools);
        ASSERT_NE(uidriver::WaitForTopLevelWindow(remote_.Id(), kRemote, nullptr, kWait), nullptr);
        ASSERT_NE(uidriver::WaitForTopLevelWindow(ci_.Id(), kCi, nullptr, kWait), nullptr);
    }

    ::testing::AssertionResult CompanionsEnded() const {
        if (!remote_.WaitForExit(kWait)) return ::testing::AssertionFailure() << "remote control still runs";
        if (!ci_.WaitForExit(kWait)) return ::testing::AssertionFailure() << "CI program still runs";
        return ::testing::AssertionSuccess();
    }

    static bool CompanionsBack() {
        return uidriver::WaitUntil(
            [] { return !uidriver::WindowsOfClass(kRemote).empty() && !uidriver::WindowsOfClass(kCi).empty(); }, kWait);
    }

    static bool NoCompanions() {
        return uidriver::WindowsOfClass(kRemote).empty() && uidriver::WindowsOfClass(kCi).empty();
    }

    // A file in a folder of the test's own, removed with the fixture.
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        if (folder_.empty()) {
            char temp[MAX_PATH] = {};
            GetTempPathA(MAX_PATH, temp);
            folder_ = std::string(temp) + "ombrel_cli_" + std::to_string(GetCurrentProcessId()) + "\\";
            CreateDirectoryA(folder_.c_str(), nullptr);
        }
        const std::string path = folder_ + name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        files_.push_back(path);
        return path;
    }

    ~OmbrelCli() override {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        if (!folder_.empty()) RemoveDirectoryA(folder_.c_str());
    }

    uidriver::Process remote_;
    uidriver::Process ci_;
    std::string folder_;
    std::vector<std::string> files_;
};

}  // namespace

TEST_F(OmbrelCli, ListAndInfoShowTheDemoSet) {
    const Result json = RunOmbrel({"list", "--json"});
    ASSERT_EQ(json.exitCode, 0u) << json.err;
    const JsonValue tuners = Json(json.out)["tuners"];
    ASSERT_EQ(tuners.items.size(), 7u) << json.out;

    std::map<std::string, tunersim::DeviceProfile> byGuid;
    for (const tunersim::DeviceProfile& box : tunersim::DemoSet()) byGuid[GuidOf(box.id)] = box;
    std::map<std::string, int> entries;  // per GUID
    for (std::size_t i = 0; i < tuners.items.size(); ++i) {
        const JsonValue& tuner = tuners[i];
        SCOPED_TRACE(tuner["guid"].Text());
        EXPECT_EQ(tuner["index"].Integer(), static_cast<long long>(i));
        ASSERT_EQ(byGuid.count(tuner["guid"].Text()), 1u);
        const tunersim::DeviceProfile& box = byGuid[tuner["guid"].Text()];
        ++entries[box.id];
        EXPECT_EQ(tuner["model"].Text(), ModelNames().at(box.id));
        EXPECT_EQ(tuner["subunit"].Integer(), box.subunit);
        EXPECT_TRUE(tuner["attached"].Bool());
        const std::string driver = tuner["driverModel"].Text();
        EXPECT_TRUE(driver == "WDM" ? (box.models & tunersim::kWdm) != 0 : driver == "BDA" && (box.models & tunersim::kBda));
        const JsonValue& firmware = tuner["firmware"];
        EXPECT_EQ(firmware["productLine"].Integer(), box.productLine);
        EXPECT_EQ(firmware["modelCode"].Integer(), box.modelCode);
        EXPECT_EQ(firmware["hardwareRevision"].Integer(), box.hardwareRevision);
        EXPECT_EQ(firmware["version"].Text(), std::to_string(box.versionMajor) + "." + std::to_string(box.versionMinor) +
                                                  "." + std::to_string(box.versionPatch));
        EXPECT_EQ(firmware["build"].Integer(), box.build);
    }
    EXPECT_EQ(entries[kBothBox], 2);

    // The table shows the same tuners in the same order.
    const Result text = RunOmbrel({"list"});
    ASSERT_EQ(text.exitCode, 0u) << text.err;
    const std::vector<std::string> rows = Lines(text.out);
    ASSERT_EQ(rows.size(), 8u) << text.out;
    EXPECT_EQ(rows[0].rfind("Index  Driver  Model", 0), 0u) << rows[0];
    for (std::size_t i = 0; i < 7; ++i) {
        const JsonValue& tuner = tuners[i];
        const std::string& row = rows[i + 1];
        EXPECT_EQ(row.rfind(std::to_string(i) + " ", 0), 0u) << row;
        for (const std::string& cell : {tuner["driverModel"].Text(), tuner["model"].Text(), tuner["guid"].Text(),
                                        tuner["firmware"]["version"].Text() + ", Build " +
                                            std::to_string(tuner["firmware"]["build"].Integer()),
                                        std::string("attached")}) {
            EXPECT_NE(row.find(cell), std::string::npos) << cell << " not in " << row;
        }
    }
    EXPECT_TRUE(text.err.empty()) << text.err;

    // One tuner by index, by GUID and by the start of its GUID: the same text.
    std::string s2Index;
    for (std::size_t i = 0; i < 7; ++i) {
        if (tuners[i]["guid"].Text() == GuidOf(kS2)) s2Index = std::to_string(i);
    }
    const Result byIndex = RunOmbrel({"info", s2Index});
    ASSERT_EQ(byIndex.exitCode, 0u) << byIndex.err;
    for (const char* item : {"Model:              Talvex S2\n", "Driver model:       WDM\n",
                             "GUID:               0100E5D4C3B2A100 (identifier 0x00A1B2C3D4E50001)\n",
                             "Firmware version:   1.3.0, Build 44650\n", "Firmware record:    01 34 04 01 03 00 AE 6A\n",
                             "Driver version:     TVX 4.2.1.1810\n", "System info:        01 34 04 00 10 20 30 40\n",
                             "Board temperature:  2A 00 00 00\n", "Common Interface:   yes\n",
                             "Update image:       FW_013404, Release 1.5.0 Build 22720\n"}) {
        EXPECT_NE(byIndex.out.find(item), std::string::npos) << item << " not in\n" << byIndex.out;
    }
    EXPECT_EQ(RunOmbrel({"info", GuidOf(kS2)}).out, byIndex.out);
    EXPECT_EQ(RunOmbrel({"info", "0x01"}).out, byIndex.out);
    EXPECT_EQ(RunOmbrel({"info", "0x0100e5d4"}).out, byIndex.out);
    // ... and by its identifier, as info shows it and as tunersim names the box.
    EXPECT_EQ(RunOmbrel({"info", kS2}).out, byIndex.out);
    EXPECT_EQ(RunOmbrel({"info", "0x00A1B2C3D4E50001"}).out, byIndex.out);

    // A box with no image and no Common Interface, read back from JSON.
    const Result pellary = RunOmbrel({"info", GuidOf(kPellary), "--json"});
    ASSERT_EQ(pellary.exitCode, 0u) << pellary.err;
    const JsonValue info = Json(pellary.out);
    EXPECT_EQ(info["tuner"]["model"].Text(), "Pellary SATV");
    EXPECT_NE(info["displayName"].Text().find(kPellary), std::string::npos);
    EXPECT_EQ(info["friendlyName"].Text(), "Ombrel WDM");
    EXPECT_EQ(info["guidLow"].Integer(), 0xD4E50006LL);
    EXPECT_EQ(info["guidHigh"].Integer(), 0x00A1B2C3LL);
    EXPECT_EQ(info["firmwareRecord"].Integers(), (std::vector<long long>{1, 0x14, 1, 1, 0, 0, 0x27, 0x24}));
    EXPECT_EQ(info["driverVersion"].Text(), "TVX 4.2.1.1810");
    EXPECT_EQ(info["systemInfo"].Integers(), (std::vector<long long>{1, 0x14, 1, 0, 0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(info["boardTemperature"].Integers(), (std::vector<long long>{0x2A, 0, 0, 0}));
    EXPECT_FALSE(info["commonInterface"].Bool());
    EXPECT_TRUE(info["updateImage"].IsNull());

    // A GUID of a box in both driver models names its first entry.
    const JsonValue both = Json(RunOmbrel({"info", "0x03", "--json"}).out);
    EXPECT_EQ(both["tuner"]["driverModel"].Text(), "WDM");
    EXPECT_EQ(both["updateImage"]["key"].Text(), "FW_012601");

    tunersim::Reset();
    EXPECT_EQ(RunOmbrel({"list"}).out, "No tuner is attached.\n");
    EXPECT_TRUE(Json(RunOmbrel({"list", "--json"}).out)["tuners"].items.empty());
}

TEST_F(OmbrelCli, InfoTakesTheCommonInterfaceFromTheSessionsOpenAndLeavesNoSessionBehind) {
    // This process holds the S2's session at times, through a handle of its own.
    ASSERT_EQ(OB_Initialize(), OB_SUCCESS);
    unsigned long held = 0;
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    for (unsigned long i = 0; i < count && held == 0; ++i) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(i, &handle) != OB_SUCCESS) continue;
        char guid[OMBREL_GUID_STRING_SIZE] = {};
        OB_GetGUIDString(handle, guid);
        if (_stricmp(guid, GuidOf(kS2).c_str()) == 0) held = handle;  // the library's text is lower case
        else OB_CloseDeviceHandle(handle);
    }
    ASSERT_NE(held, 0u);
    char name[OMBREL_DISPLAY_STRING_SIZE] = {};
    ASSERT_EQ(OB_GetDisplayString(held, name), OB_SUCCESS);
    const testsupport::SharedFlags flags;
    const auto info = [](const char* guid, const char* line) {
        const Result r = RunOmbrel({"info", GuidOf(guid)});
        EXPECT_EQ(r.exitCode, 0u) << r.err;
        EXPECT_NE(r.out.find(std::string("Common Interface:   ") + line + "\n"), std::string::npos) << r.out;
    };

    // A free slot: ombrel opened the session and closed it again before it ended.
    const uint32_t opens = tunersim::CommonInterface(kS2).opens;
    info(kS2, "yes");
    EXPECT_EQ(tunersim::CommonInterface(kS2).opens, opens + 1);
    EXPECT_EQ(flags.Ci(name), 0);

    // Held here: another program's session is in use, and stays this program's.
    ASSERT_EQ(OB_CI_Open(held), OB_SUCCESS);
    info(kS2, "yes, in use");
    const JsonValue json = Json(RunOmbrel({"info", GuidOf(kS2), "--json"}).out);
    EXPECT_TRUE(json["commonInterface"].Bool());
    EXPECT_TRUE(json["commonInterfaceInUse"].Bool());
    EXPECT_EQ(flags.Ci(name), 1);
    EXPECT_EQ(OB_CI_Close(held), OB_SUCCESS);
    info(kS2, "yes");

    // A model without a slot: the library says so before it asks the tuner anything.
    info(kPellary, "no");
    EXPECT_EQ(tunersim::CommonInterface(kPellary).opens, 0u);
    OB_CloseDeviceHandle(held);
}

TEST_F(OmbrelCli, BadInputIsRefusedWithItsExitCode) {
    struct Case {
        std::vector<std::string> arguments;
        DWORD exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "no verb given"},
        {{"list", "--frob"}, 2, "unknown option '--frob' for 'list'"},
        {{"info", "zz"}, 2, "'zz' is neither a tuner index nor a GUID"},
        {{"info", "42"}, 3, "no tuner with index 42: 7 tuners are attached (index 0 to 6)"},
        {{"info", "0xFFFF"}, 3, "no tuner with a GUID beginning FFFF"},
        {{"info", "00a1b2c3d4e500ff"}, 3,
         "no tuner with GUID or identifier 00A1B2C3D4E500FF: 7 tuners are attached (index 0 to 6). A <tuner> is an "
         "index as 'ombrel list' shows it, a GUID or its start (0x0100E5), or a box's identifier"},
        {{"info", "0x0"}, 3, "GUID prefix 0 is ambiguous"},
        {{"update", "0", "--auto", "--image", "x.hex"}, 2, "--auto and --image exclude each other"},
        {{"update", "0", "--image", "no such file.hex", "--yes"}, 5, "no such file.hex: "},
        {{"update", GuidOf(kPellary), "--yes"}, 4, "no firmware image is carried for this tuner (hardware 01 14 01"},
        {{"keys", "0", "--count", "0"}, 2, "--count: '0' is no number of keys (1 to 4294967295)"},
        {{"keys", "42", "--json"}, 3, "no tuner with index 42"},
    };
    for (const Case& c : cases) {
        std::string command;
        for (const std::string& argument : c.arguments) command += argument + " ";
        SCOPED_TRACE(command);
        const Result r = RunOmbrel(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("ombrel: ", 0), 0u) << r.err;
        if (c.exitCode == 2) {
            EXPECT_NE(r.err.find("--help'"), std::string::npos) << r.err;
        }
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    // Nothing was sent to any tuner.
    for (const tunersim::DeviceProfile& box : tunersim::DemoSet()) EXPECT_EQ(tunersim::Requests(box.id, 17).sets, 0u);

    // Without Romflux.exe beside it there are no carried images to send or to show.
    const std::string alone = WriteFile("ombrel.exe", "");
    const std::wstring bin = uidriver::BinDirectory();
    const std::wstring folder = uidriver::Widen(folder_);
    for (const wchar_t* file : {L"ombrel.exe", L"OmbrelApi.dll"}) {
        ASSERT_TRUE(CopyFileW((bin + file).c_str(), (folder + file).c_str(), FALSE));
    }
    files_.push_back(folder_ + "OmbrelApi.dll");
    ConsoleProcess update = ConsoleProcess::Start(alone, {"update", GuidOf(kS2), "--yes"});
    const Result r = Finish(update);
    EXPECT_EQ(r.exitCode, 4u);
    EXPECT_NE(r.err.find("cannot read the firmware images: "), std::string::npos) << r.err;
    ConsoleProcess info = ConsoleProcess::Start(alone, {"info", GuidOf(kS2)});
    EXPECT_NE(Finish(info).out.find("Update image:       unknown (cannot read the firmware images: "), std::string::npos);

    // A result that cannot be written (a full disk, an output opened for reading) is a
    // failure, not a success with nothing in the file.
    const std::string readOnly = WriteFile("read_only.txt", "");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    for (const std::string verb : {"list", "info 0"}) {
        SCOPED_TRACE(verb);
        const std::string errors = WriteFile("errors_" + std::to_string(verb.size()) + ".txt", "");
        const HANDLE out = CreateFileA(readOnly.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       OPEN_EXISTING, 0, nullptr);
        const HANDLE err = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        ASSERT_NE(err, INVALID_HANDLE_VALUE);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process{};
        std::wstring command = L"ombrel.exe " + uidriver::Widen(verb);
        ASSERT_TRUE(CreateProcessW((uidriver::BinDirectory() + L"ombrel.exe").c_str(), command.data(), nullptr, nullptr,
                                   TRUE, CREATE_NO_WINDOW, nullptr, uidriver::BinDirectory().c_str(), &startup, &process));
        CloseHandle(out);
        CloseHandle(err);
        ASSERT_EQ(WaitForSingleObject(process.hProcess, kWait), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(exitCode, 1u);
        std::ifstream written(errors);
        const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, "ombrel: the output could not be written\n");
    }
}

TEST_F(OmbrelCli, HelpAndVersion) {
    // The texts themselves are the core tests' business; here: where they go, and the
    // library's version.
    const Result help = RunOmbrel({"update", "--bogus", "--help"});
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.out.rfind("Usage: ombrel update <tuner> [--auto | --image FILE] [--yes]\n", 0), 0u) << help.out;
    EXPECT_TRUE(help.err.empty());
    EXPECT_EQ(RunOmbrel({"--version"}).out, "ombrel 1.0.0 (OmbrelApi 1.10.2)\n");
}

TEST_F(OmbrelCli, UpdateWithTheCarriedImageEndsAndRestartsTheCompanions) {
    StartCompanions();
    // The run object holds (and at its end, ends) what the program starts.
    ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"update", GuidOf(kS2), "--auto"}, "y\n");
    const Result r = Finish(run);
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Image:  FW_013404, Release 1.5.0 Build 22720 (carried by Romflux)\n"), std::string::npos);
    EXPECT_NE(r.out.find("Update the firmware of this tuner? [y/N] \n"), std::string::npos);
    EXPECT_NE(r.out.find("\nFirmware update succeeded!\n"), std::string::npos) << r.out;

    // The bar followed the polls: rising, with values between 0 and 100, ending at 100.
    const std::vector<int> percents = ProgressPercents(r.out);
    ASSERT_FALSE(percents.empty()) << r.out;
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_TRUE(std::any_of(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; })) << r.out;
    EXPECT_EQ(percents.back(), 100);

    // Romflux's image went to the tuner whole, once.
    const tunersim::ImageReceipt receipt = tunersim::LastImage(kS2);
    EXPECT_EQ(receipt.count, 1u);
    EXPECT_EQ(receipt.length, static_cast<uint32_t>(firmware::kImageSize));
    const std::string carried = firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013404"));
    EXPECT_EQ(receipt.crc32, tunersim::ImageCrc32(carried.data(), carried.size()));

    // The companions were told to end, and were started again after the success.
    EXPECT_TRUE(CompanionsEnded());
    EXPECT_TRUE(CompanionsBack());
}

TEST_F(OmbrelCli, EachEndOfARunHasRomfluxsTextAndItsOwnExitCode) {
    struct Case {
        uint8_t errorCode;
        uint8_t state;
        uint8_t percent;
        DWORD exitCode;
    };
    for (Case c : {Case{2, 8, 20, 12}, Case{4, 8, 25, 13}, Case{5, 10, 30, 14}, Case{3, 8, 15, 16}}) {
        SCOPED_TRACE(testing::Message() << "error code " << int(c.errorCode));
        tunersim::ScriptUpdate(kS2, {tunersim::ScriptKind::Fail, c.percent, c.errorCode, c.state});
        const Result r = RunOmbrel({"update", GuidOf(kS2), "--yes"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        EXPECT_EQ(r.err, std::string(romflux::UpdateErrorText(c.errorCode)) + "\n");
        const std::vector<int> percents = ProgressPercents(r.out);
        ASSERT_FALSE(percents.empty());
        EXPECT_EQ(percents.back(), c.percent);
    }

    // A failure reported by the tuner brings the companions back.
    StartCompanions();
    tunersim::ScriptUpdate(kS2, {tunersim::ScriptKind::Fail, 60, 9, 10});
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"update", GuidOf(kS2), "--yes"});
        const Result failed = Finish(run);
        EXPECT_EQ(failed.exitCode, 15u);
        EXPECT_EQ(failed.err, "An error occured while updating the firmware: Invalid hardware version\n");
        EXPECT_TRUE(CompanionsEnded());
        EXPECT_TRUE(CompanionsBack());
    }
    EndStrayCompanions();

    // Refused by the library: no polling, and the companions stay ended, as in Romflux.
    StartCompanions();
    tunersim::InjectFault(kS2, 17, tunersim::Direction::Set, {tunersim::FaultKind::Fail});
    const uint32_t polls = tunersim::Requests(kS2, 18).gets;
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"update", GuidOf(kS2), "--yes"});
        const Result refused = Finish(run);
        EXPECT_EQ(refused.exitCode, 10u);
        EXPECT_EQ(refused.err, "Error calling Ombrel Firmware update\n");
        EXPECT_EQ(tunersim::Requests(kS2, 18).gets, polls);
        EXPECT_TRUE(CompanionsEnded());
        uidriver::PumpFor(1500);
        EXPECT_TRUE(NoCompanions());
    }
    tunersim::ClearFaults(kS2);

    // Unplugged during the flash: the run ends as detached, no hang, nothing restarted.
    StartCompanions();
    tunersim::SetUpdateTiming(kS2, 4000, 60000);
    tunersim::ScriptUpdate(kS2, {tunersim::ScriptKind::Vanish, 30});
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"update", GuidOf(kS2), "--yes"});
        const Result detached = Finish(run, kWait);
        EXPECT_EQ(detached.exitCode, 11u) << detached.out << detached.err;
        EXPECT_EQ(detached.err, "An error occured while updating the firmware, device detached?\n");
        EXPECT_TRUE(CompanionsEnded());
        uidriver::PumpFor(1500);
        EXPECT_TRUE(NoCompanions());
    }
    // The tuner is gone for the next command too.
    EXPECT_EQ(RunOmbrel({"info", GuidOf(kS2)}).exitCode, 3u);
}

TEST_F(OmbrelCli, ImageFilesAreCheckedBeforeAnythingIsSent) {
    struct Case {
        std::string file;
        DWORD exitCode;
        std::string reason;
    };
    std::vector<Case> cases;
    for (const firmware::DamagedVariant& variant : firmware::DamagedVariants()) {
        const bool foreign = variant.damage == firmware::Damage::ForeignIdentification;
        cases.push_back({WriteFile(variant.fileName, firmware::BuildDamagedImage(variant.damage)), foreign ? 6u : 5u,
                         foreign ? "the image is made for hardware 01 37 01 (FW_013701), the tuner is 01 34 04 (FW_013404)"
                                 : "line " + std::to_string(variant.faultLine) + ": "});
    }
    cases.push_back({WriteFile("other_revision.hex", firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013401"))), 6u,
                     "made for hardware 01 34 01 (FW_013401), the tuner is 01 34 04"});
    cases.push_back({WriteFile("short.hex", ":00000001FF\r\n"), 5u, "not a firmware image of the tuners: line 1"});
    cases.push_back({WriteFile("empty.hex", ""), 5u, "line 1: "});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Result r = RunOmbrel({"update", GuidOf(kS2), "--image", c.file, "--yes"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.file + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        // A file that is no image of the tuners says what to do next; one for other hardware names both already.
        EXPECT_EQ(r.err.find("\nCheck the file's path and that it is the Intel-HEX image made for this tuner, or leave "
                             "--image out to send the image Romflux carries for it.\n") != std::string::npos,
                  c.exitCode == 5u)
            << r.err;
    }
    EXPECT_EQ(tunersim::Requests(kS2, 17).sets, 0u);

    // An image of the release the tuner runs already is offered, and said to be that.
    tunersim::SetFirmwareVersion(kS2, 1, 5, 0, 22720);
    const Result same = RunOmbrel({"update", GuidOf(kS2)}, "n\n");
    EXPECT_EQ(same.exitCode, 7u) << same.err;
    EXPECT_NE(same.out.find("Image:  FW_013404, Release 1.5.0 Build 22720 (carried by Romflux)\nNote:   the tuner runs "
                            "this release already (Release 1.5.0 Build 22720): the update would flash the same "
                            "firmware again\nUpdate the firmware of this tuner? [y/N] "),
              std::string::npos)
        << same.out;
    tunersim::SetFirmwareVersion(kS2, 1, 3, 0, 44650);
    EXPECT_EQ(RunOmbrel({"update", GuidOf(kS2)}, "n\n").out.find("Note:"), std::string::npos);

    // A later release than Romflux carries is the tuner's: it is offered, and sent only
    // when the user agrees.
    firmware::ImageParams later = firmware::ParamsFor(*firmware::FindCatalogueEntry("FW_013404"));
    later.versionBytes[1] = 6;
    const std::string laterImage = FirmwareBytesOf(later);
    const std::string file = WriteFile("later.hex", laterImage);
    for (const char* answer : {"n\n", "", "maybe\n"}) {
        SCOPED_TRACE(answer);
        const Result r = RunOmbrel({"update", GuidOf(kS2), "--image", file}, answer);
        EXPECT_EQ(r.exitCode, 7u) << r.err;
        EXPECT_NE(r.out.find("Image:  " + file + ", Release 1.6.0 Build 22720\n"), std::string::npos) << r.out;
    }
    EXPECT_EQ(tunersim::Requests(kS2, 17).sets, 0u);
    const Result r = RunOmbrel({"update", GuidOf(kS2), "--image", file}, "Yes\n");
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("Firmware update succeeded!"), std::string::npos);
    const tunersim::ImageReceipt receipt = tunersim::LastImage(kS2);
    EXPECT_EQ(receipt.count, 1u);
    EXPECT_EQ(receipt.crc32, tunersim::ImageCrc32(laterImage.data(), laterImage.size()));
}

TEST_F(OmbrelCli, CtrlCDuringAFlashWaitsForTheTunerUnlessPressedAgain) {
    tunersim::ScriptUpdate(kS2, {tunersim::ScriptKind::Stall, 40});
    ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"update", GuidOf(kS2), "--yes"});
    ASSERT_TRUE(run.WaitForOut(" 40 %", kWait)) << run.Out() << run.Err();
    ASSERT_TRUE(run.Interrupt());
    ASSERT_TRUE(run.WaitForErr("the update goes on in the tuner; waiting for its end", kWait)) << run.Err();
    // It still follows the tuner.
    const uint32_t polls = tunersim::Requests(kS2, 18).gets;
    EXPECT_TRUE(uidriver::WaitUntil([&] { return tunersim::Requests(kS2, 18).gets >= polls + 3; }, kWait));
    EXPECT_TRUE(run.IsRunning());
    ASSERT_TRUE(run.Interrupt());
    const auto code = run.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 17u);
    EXPECT_NE(run.Err().find("Stopped waiting. The update goes on in the tuner"), std::string::npos) << run.Err();
}

TEST_F(OmbrelCli, OneCtrlCLetsTheRunFinish) {
    tunersim::SetUpdateTiming(kS2, 5000, 60000);
    ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"update", GuidOf(kS2), "--yes"});
    ASSERT_TRUE(run.WaitForOut(" %  ", kWait)) << run.Out() << run.Err();
    ASSERT_TRUE(run.Interrupt());
    const auto code = run.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u) << run.Err();
    EXPECT_NE(run.Err().find("goes on in the tuner"), std::string::npos) << run.Err();
    EXPECT_NE(run.Out().find("Firmware update succeeded!"), std::string::npos) << run.Out();
}

TEST_F(OmbrelCli, WatchPrintsTunersAsTheyComeAndGo) {
    ConsoleProcess watch = ConsoleProcess::Start("ombrel.exe", {"watch", "--json"});
    ASSERT_TRUE(watch.WaitForErr("Watching 7 attached tuner(s); Ctrl+C ends.\n", kWait)) << watch.Err();
    const auto events = [&] { return Lines(watch.Out()); };

    tunersim::DeviceProfile box = tunersim::Preset("talvex-sci-r1");
    box.id = "0012345678abcdef";
    box.models = tunersim::kBoth;
    tunersim::Plug(box);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return events().size() >= 2; }, kWait)) << watch.Out();
    tunersim::Unplug(box.id);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return events().size() >= 4; }, kWait)) << watch.Out();
    tunersim::Unplug(kPellary);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return events().size() >= 5; }, kWait)) << watch.Out();
    ASSERT_TRUE(watch.Interrupt());
    const auto code = watch.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);

    const std::vector<std::string> lines = events();
    ASSERT_EQ(lines.size(), 5u) << watch.Out();
    std::vector<std::string> seen;
    for (const std::string& line : lines) {
        const JsonValue event = Json(line);
        const JsonValue& tuner = event["tuner"];
        seen.push_back(event["event"].Text() + " " + tuner["driverModel"].Text() + " " + tuner["guid"].Text());
        EXPECT_EQ(tuner["attached"].Bool(), event["event"].Text() == "attached");
        EXPECT_EQ(tuner["index"].IsNull(), event["event"].Text() == "detached");
        // A tuner that has gone keeps the line it had.
        EXPECT_FALSE(tuner["firmware"].IsNull()) << line;
    }
    const std::string guid = GuidOf(box.id);
    EXPECT_EQ(seen, (std::vector<std::string>{"attached WDM " + guid, "attached BDA " + guid, "detached WDM " + guid,
                                              "detached BDA " + guid, "detached WDM " + GuidOf(kPellary)}));
    EXPECT_EQ(Json(lines[0])["tuner"]["index"].Integer(), 7);
    EXPECT_EQ(Json(lines[0])["tuner"]["model"].Text(), "Talvex S/CI");
}

TEST_F(OmbrelCli, ATunerThatGoesOrCannotAnswerEndsTheCommand) {
    // Unplugged while info waits for an answer: the command ends and says so.
    tunersim::InjectFault(kS2, 24, tunersim::Direction::Get, {tunersim::FaultKind::Delay, 0, 4000});
    ConsoleProcess info = ConsoleProcess::Start("ombrel.exe", {"info", GuidOf(kS2)});
    ASSERT_TRUE(uidriver::WaitUntil([] { return tunersim::Requests(kS2, 24).gets >= 1; }, kWait));
    tunersim::Unplug(kS2);
    const auto code = info.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3u);
    EXPECT_NE(info.Err().find("went away while it was read"), std::string::npos) << info.Err();
    EXPECT_NE(info.Out().find("State:              detached\n"), std::string::npos) << info.Out();

    // A tuner whose firmware version cannot be read is listed, and not updated.
    tunersim::InjectFault(kPellary, 11, tunersim::Direction::Get, {tunersim::FaultKind::Fail});
    const JsonValue tuners = Json(RunOmbrel({"list", "--json"}).out)["tuners"];
    bool listed = false;
    for (const JsonValue& tuner : tuners.items) {
        if (tuner["guid"].Text() != GuidOf(kPellary)) continue;
        listed = true;
        EXPECT_TRUE(tuner["firmware"].IsNull());
    }
    EXPECT_TRUE(listed);
    const Result r = RunOmbrel({"update", GuidOf(kPellary), "--yes"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.err.find("the firmware version of tuner"), std::string::npos) << r.err;
    EXPECT_EQ(tunersim::Requests(kPellary, 17).sets, 0u);
}

namespace {

constexpr const char* kTerrestrial = "00a1b2c3d4e50004";  // Talvex T/CI, WDM
constexpr const char* kCable = kBothBox;                  // Nubrik C/CI

std::vector<uint8_t> Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

std::vector<uint8_t> Bytes(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// What the front end of a box reports now, as status --json shows it.
void ExpectStatusOf(const std::string& id, const JsonValue& status) {
    const tunersim::TuningState s = tunersim::Tuning(id);
    EXPECT_EQ(status["locked"].Bool(), s.locked);
    EXPECT_EQ(status["carrier"].Bool(), s.carrier);
    EXPECT_EQ(status["flag"].Integer(), s.flag);
    EXPECT_EQ(status["signalStrength"].Integer(), s.strength);
    EXPECT_EQ(status["signalQuality"].Integer(), s.quality);
    EXPECT_EQ(status["bitErrorsPer1e8"].Integer(), s.bitErrorRate);
    EXPECT_EQ(status["signalToNoiseDb"].number * 10, s.snrTenthsDb);
    if (s.locked) {
        EXPECT_EQ(status["frequencyHz"].Integer(), static_cast<long long>(s.frequencyHz));
    }
}

std::vector<std::string> SatelliteTune(const std::string& id, const std::string& mhz, const std::string& pol,
                                       std::vector<std::string> more = {}) {
    std::vector<std::string> arguments{"tune", GuidOf(id), mhz, "--pol", pol, "--symbol-rate", "27500"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

}  // namespace

TEST_F(OmbrelCli, TuneLocksSatelliteAndTerrestrialTunersAndStatusReadsThemBack) {
    // Satellite B 11623 V behind a universal LNB, through the switch's port B, with PIDs.
    Result r = RunOmbrel(SatelliteTune(kS2, "11623", "V", {"--diseqc", "B", "--pids", "0,0x100,257", "--json"}));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    JsonValue tune = Json(r.out);
    EXPECT_EQ(tune["result"].Text(), "locked");
    EXPECT_EQ(tune["tuner"]["guid"].Text(), GuidOf(kS2));
    EXPECT_EQ(tune["tune"]["intermediateKHz"].Integer(), 1873000);
    EXPECT_EQ(tune["status"]["frequencyHz"].Integer(), 11623000000LL);
    tunersim::TuningState s = tunersim::Tuning(kS2);
    EXPECT_EQ(s.multiplex, "B 11623 V");
    EXPECT_TRUE(s.locked);
    EXPECT_TRUE(s.powered);
    EXPECT_EQ(s.input, 1u);
    EXPECT_EQ(s.tunes, 1u);
    EXPECT_EQ(s.lastTuneProperty, 0u);
    EXPECT_EQ(s.lastTune, Bytes({Le32(11623000), Le32(27500), {1, 0, 0, 0}}));
    EXPECT_EQ(s.pids, (std::vector<uint16_t>{0, 0x100, 257}));
    ExpectStatusOf(kS2, tune["status"]);
    // The requests on the way: power on, a universal LNB with automatic tone and voltage,
    // the DiSEqC committed switch to port B (vertical, low band).
    EXPECT_EQ(tunersim::LastRequestOf(kS2, 15, tunersim::Direction::Set).bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(tunersim::LastRequestOf(kS2, 14, tunersim::Direction::Set).bytes,
              Bytes({Le32(9750000), Le32(10600000), Le32(11700000), {2, 3}, std::vector<uint8_t>(28, 0)}));
    std::vector<uint8_t> diseqc = tunersim::LastRequestOf(kS2, 12, tunersim::Direction::Set).bytes;
    diseqc.resize(6);
    EXPECT_EQ(diseqc, (std::vector<uint8_t>{4, 0xE0, 0x10, 0x38, 0xF4, 0}));

    // A 12188 H in the high band through port A, as text.
    r = RunOmbrel(SatelliteTune(kS2, "12188", "h", {"--diseqc", "a"}));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Talvex S2 (WDM), GUID " + GuidOf(kS2) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("LNB:                9750/10600/11700 MHz, high band, intermediate frequency 1588 MHz, "
                         "DiSEqC port A\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Result:             locked on 12188 MHz after "), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "Waiting up to 10.0 s for lock; Ctrl+C stops waiting.\n");
    EXPECT_EQ(tunersim::Tuning(kS2).multiplex, "A 12188 H");
    EXPECT_EQ(tunersim::LastRequestOf(kS2, 12, tunersim::Direction::Set).bytes[4], 0xF3);

    // status reads the same front end back, as JSON and as text.
    r = RunOmbrel({"status", GuidOf(kS2), "--json"});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const JsonValue status = Json(r.out);
    EXPECT_EQ(status["tuning"].Text(), "locked");
    EXPECT_EQ(status["frequencyHz"].Integer(), 12188000000LL);
    ExpectStatusOf(kS2, status);
    r = RunOmbrel({"status", GuidOf(kS2)});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("Tuning flag:        locked (12188 MHz)\nLocked:             yes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Signal strength:    " + std::to_string(tunersim::Tuning(kS2).strength) + " %\n"),
              std::string::npos);

    // Terrestrial: the DVB-T request, never a satellite one.
    r = RunOmbrel({"tune", GuidOf(kTerrestrial), "177.5", "--bandwidth", "7", "--modulation", "qam64", "--guard", "1/8",
                   "--pids", "0x10"});
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Result:             locked on 177.5 MHz after "), std::string::npos) << r.out;
    s = tunersim::Tuning(kTerrestrial);
    EXPECT_EQ(s.multiplex, "T 177.5 MHz");
    EXPECT_EQ(s.lastTuneProperty, 5u);
    EXPECT_EQ(s.lastTune, Bytes({Le32(177500), {7, 4, 0, 3, 0, 0, 0, 0}}));
    EXPECT_EQ(s.pids, std::vector<uint16_t>{0x10});
    for (unsigned property : {0u, 2u, 12u, 14u, 25u}) EXPECT_EQ(tunersim::Requests(kTerrestrial, property).sets, 0u);

    // Every box has a front-end status, a cable box too; untuned, it is busy.
    const JsonValue cable = Json(RunOmbrel({"status", GuidOf(kCable), "--json"}).out);
    EXPECT_EQ(cable["tuning"].Text(), "busy");
    EXPECT_TRUE(cable["frequencyHz"].IsNull());
}

TEST_F(OmbrelCli, ATuneThatFindsNothingOrIsRefusedSaysSoWithItsExitCode) {
    // Nothing at 11700 MHz: the front end settles without a lock, on the DiSEqC input chosen.
    Result r = RunOmbrel(SatelliteTune(kS2, "11700", "H", {"--diseqc", "C"}));
    EXPECT_EQ(r.exitCode, 20u) << r.out << r.err;
    EXPECT_NE(r.out.find("Result:             no signal after "), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("ombrel: no lock: the front end found no multiplex at 11700 MHz with these settings, on "
                         "DiSEqC input C (--diseqc A..D chooses another input)\n"),
              std::string::npos)
        << r.err;
    // A tune on input B, then one of input A's multiplexes without --diseqc: the switch
    // still points at B, and the message says so.
    r = RunOmbrel(SatelliteTune(kS2, "11623", "V", {"--diseqc", "B"}));
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    r = RunOmbrel(SatelliteTune(kS2, "12188", "H"));
    EXPECT_EQ(r.exitCode, 20u) << r.out << r.err;
    EXPECT_NE(r.err.find("ombrel: no lock: the front end found no multiplex at 12188 MHz with these settings; the "
                         "DiSEqC switch points at input B, where 'ombrel tune --diseqc B' left it: --diseqc A..D "
                         "chooses another input\n"),
              std::string::npos)
        << r.err;
    r = RunOmbrel(SatelliteTune(kS2, "12188", "H", {"--diseqc", "A"}));
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    // A carrier with another symbol rate: seen, not locked.
    r = RunOmbrel({"tune", GuidOf(kS2), "11623", "--pol", "V", "--symbol-rate", "22000", "--diseqc", "B", "--json"});
    EXPECT_EQ(r.exitCode, 20u) << r.err;
    JsonValue tune = Json(r.out);
    EXPECT_EQ(tune["result"].Text(), "no signal");
    EXPECT_TRUE(tune["status"]["carrier"].Bool());
    EXPECT_FALSE(tune["status"]["locked"].Bool());

    // Still settling when the time allowed runs out.
    tunersim::SetSettleTime(kS2, 60000);
    r = RunOmbrel(SatelliteTune(kS2, "11623", "V", {"--timeout", "0.3", "--json"}));
    EXPECT_EQ(r.exitCode, 21u) << r.err;
    EXPECT_EQ(Json(r.out)["result"].Text(), "timeout");
    EXPECT_NE(r.err.find("no lock within 0.3 s: the front end is still settling"), std::string::npos) << r.err;
    EXPECT_TRUE(tunersim::Tuning(kS2).settling);
    tunersim::SetSettleTime(kS2, 300);

    // Refused by the driver: what was refused is named.
    tunersim::InjectFault(kS2, 0, tunersim::Direction::Set, {tunersim::FaultKind::Fail});
    r = RunOmbrel(SatelliteTune(kS2, "11623", "V"));
    EXPECT_EQ(r.exitCode, 22u) << r.err;
    EXPECT_NE(r.err.find("(Talvex S2) refused the multiplex (OB_SelectMultiplex_DVBS returned 1)\n"), std::string::npos)
        << r.err;
    tunersim::ClearFaults(kS2);
    tunersim::InjectFault(kS2, 9, tunersim::Direction::Get, {tunersim::FaultKind::False});
    r = RunOmbrel({"status", GuidOf(kS2)});
    EXPECT_EQ(r.exitCode, 22u);
    EXPECT_NE(r.err.find("refused the front end's status"), std::string::npos) << r.err;
    tunersim::ClearFaults(kS2);

    // The wrong family, and bad values: refused before anything is sent to any box.
    const uint32_t satelliteTunes = tunersim::Tuning(kS2).tunes;
    struct Case {
        std::vector<std::string> arguments;
        DWORD exitCode;
        std::string message;
    };
    const Case cases[] = {
        {SatelliteTune(kTerrestrial, "11623", "V"), 23, "--pol is for satellite tuners; tuner "},
        {{"tune", GuidOf(kTerrestrial), "474", "--family", "satellite"}, 23, "(Talvex T/CI) is a terrestrial tuner, not satellite"},
        {{"tune", GuidOf(kCable), "474"}, 23, "(Nubrik C/CI) is a cable tuner: ombrel tunes satellite and terrestrial tuners"},
        {SatelliteTune(kS2, "11623", "V", {"--bandwidth", "8"}), 23, "--bandwidth is for terrestrial tuners"},
        {SatelliteTune(kS2, "9000", "H"), 2, "gives an intermediate frequency of 750 MHz, outside the tuner's 950 to 2150 MHz"},
        {{"tune", GuidOf(kS2), "11623", "--pol", "V"}, 2, "a satellite tune needs --symbol-rate"},
        {{"tune", GuidOf(kS2), "11.623GHz"}, 2, "frequency '11.623GHz' is no frequency"},
        {{"tune", GuidOf(kTerrestrial), "474", "--pids", "8193"}, 2, "--pids: '8193' is no PID"},
        {{"tune", "42", "474"}, 3, "no tuner with index 42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        r = RunOmbrel(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.find("Try 'ombrel tune --help'.") != std::string::npos, c.exitCode == 2) << r.err;
    }
    EXPECT_EQ(tunersim::Tuning(kS2).tunes, satelliteTunes);
    for (const char* id : {kTerrestrial, kCable}) {
        for (unsigned property : {0u, 5u, 12u, 14u, 15u}) EXPECT_EQ(tunersim::Requests(id, property).sets, 0u);
    }
}

TEST_F(OmbrelCli, WaitingForLockEndsAtCtrlCOrWhenTheTunerGoes) {
    tunersim::SetSettleTime(kS2, 60000);
    const std::vector<std::string> arguments = SatelliteTune(kS2, "11623", "V", {"--timeout", "600"});
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", arguments);
        ASSERT_TRUE(run.WaitForErr("for lock; Ctrl+C stops waiting.\n", kWait)) << run.Err();
        ASSERT_TRUE(run.Interrupt());
        const auto code = run.WaitForExit(kWait);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 24u);
        EXPECT_NE(run.Err().find("ombrel: stopped waiting for lock; the tuner keeps the tune\n"), std::string::npos)
            << run.Err();
        EXPECT_NE(run.Out().find("Result:             stopped waiting after "), std::string::npos) << run.Out();
        EXPECT_TRUE(tunersim::Tuning(kS2).settling);
    }
    ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", arguments);
    ASSERT_TRUE(run.WaitForErr("for lock; Ctrl+C stops waiting.\n", kWait)) << run.Err();
    tunersim::Unplug(kS2);
    const auto code = run.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3u);
    EXPECT_NE(run.Err().find("(Talvex S2) went away\n"), std::string::npos) << run.Err();
}

TEST_F(OmbrelCli, StatusFollowPrintsUntilCtrlCOrUntilTheTunerGoes) {
    ASSERT_EQ(RunOmbrel(SatelliteTune(kS2, "11623", "V", {"--diseqc", "B"})).exitCode, 0u);
    {
        ConsoleProcess follow =
            ConsoleProcess::Start("ombrel.exe", {"status", GuidOf(kS2), "--follow", "--interval", "0.1", "--json"});
        ASSERT_TRUE(follow.WaitForOutput([](const std::string& out, const std::string&) { return Lines(out).size() >= 3; },
                                         kWait))
            << follow.Err();
        EXPECT_TRUE(follow.IsRunning());
        ASSERT_TRUE(follow.Interrupt());
        const auto code = follow.WaitForExit(kWait);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 0u);
        EXPECT_NE(follow.Err().find("Following tuner "), std::string::npos);
        for (const std::string& line : Lines(follow.Out())) {
            const JsonValue reading = Json(line);
            EXPECT_EQ(reading["tuning"].Text(), "locked");
            EXPECT_EQ(reading["frequencyHz"].Integer(), 11623000000LL);
        }
    }
    ConsoleProcess follow = ConsoleProcess::Start("ombrel.exe", {"status", GuidOf(kS2), "--follow", "--interval", "0.1"});
    ASSERT_TRUE(follow.WaitForOut(" MHz ", kWait)) << follow.Err();
    EXPECT_NE(Lines(follow.Out())[0].find("  locked     11623 MHz       signal  76 %  quality  84 %  SNR 11.8 dB"),
              std::string::npos)
        << follow.Out();
    tunersim::Unplug(kS2);
    const auto code = follow.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3u);
    EXPECT_NE(follow.Err().find("(Talvex S2) went away\n"), std::string::npos) << follow.Err();
}

namespace {

uint16_t KeyCode(const char* name) { return keymap::FindByName(name)->code; }

// "14:02:03.125": the time of day with the milliseconds.
bool IsClock(const std::string& text) {
    if (text.size() != 12 || text[2] != ':' || text[5] != ':' || text[8] != '.') return false;
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 11}) {
        if (!isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

bool HasLines(const ConsoleProcess& run, std::size_t count) {
    return run.WaitForOutput([&](const std::string& out, const std::string&) { return Lines(out).size() >= count; },
                             kWait);
}

}  // namespace

TEST_F(OmbrelCli, KeysArriveInOrderWithTheirNamesUntilTheCountOrCtrlC) {
    // As JSON, until five keys have come: a code of another remote among them.
    const std::vector<uint16_t> pressed{KeyCode("ok"), KeyCode("1"), 0x1234, KeyCode("vol+"), KeyCode("power")};
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"keys", GuidOf(kS2), "--json", "--count", "5"});
        ASSERT_TRUE(run.WaitForErr("Reading the remote control of tuner ", kWait)) << run.Err();
        EXPECT_EQ(tunersim::PressKeys(kS2, pressed), 0u);
        const Result r = Finish(run);
        ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
        EXPECT_NE(r.err.find(" (Talvex S2) for 5 keys; Ctrl+C ends.\n"), std::string::npos) << r.err;
        const std::vector<std::string> lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 5u) << r.out;
        const std::vector<const char*> names{"ok", "1", nullptr, "vol+", "power"};
        const std::vector<const char*> hex{"0x2015", "0x2001", "0x1234", "0x2016", "0x200C"};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            SCOPED_TRACE(lines[i]);
            const JsonValue key = Json(lines[i]);
            EXPECT_TRUE(IsClock(key["time"].Text()));
            EXPECT_EQ(key["code"].Integer(), pressed[i]);
            EXPECT_EQ(key["hex"].Text(), hex[i]);
            EXPECT_EQ(key["key"].IsNull(), names[i] == nullptr);
            if (names[i]) {
                EXPECT_EQ(key["key"].Text(), names[i]);
            }
        }
        EXPECT_EQ(Json(lines[3])["label"].Text(), "Volume +");
        EXPECT_TRUE(Json(lines[2])["label"].IsNull());
    }
    // The reader was stopped: no read of the box waits any more.
    tunersim::RemoteStatus box = tunersim::Remote(kS2);
    EXPECT_EQ(box.read, 5u);
    EXPECT_EQ(box.waitingReads, 0u);
    EXPECT_EQ(box.malformedCancels, 0u);

    // As text, by the start of the GUID, until Ctrl+C.
    {
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"keys", "0x01"});
        ASSERT_TRUE(run.WaitForErr(" (Talvex S2); Ctrl+C ends.\n", kWait)) << run.Err();
        tunersim::PressKeys(kS2, {KeyCode("down"), KeyCode("ch-"), 0x0042});
        ASSERT_TRUE(HasLines(run, 3)) << run.Out() << run.Err();
        ASSERT_TRUE(uidriver::WaitUntil([] { return tunersim::Remote(kS2).waitingReads == 1; }, kWait));
        const uint32_t cancels = tunersim::Remote(kS2).cancels;
        ASSERT_TRUE(run.Interrupt());
        const auto code = run.WaitForExit(kWait);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 0u) << run.Err();
        const std::vector<std::string> lines = Lines(run.Out());
        ASSERT_EQ(lines.size(), 3u) << run.Out();
        const std::vector<std::string> rest{"  0x2012  Down", "  0x2019  Channel -", "  0x0042  (unknown key)"};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(IsClock(lines[i].substr(0, 12))) << lines[i];
            EXPECT_EQ(lines[i].substr(12), rest[i]);
        }
        // Ctrl+C stopped the reader: its waiting read was cancelled, properly.
        box = tunersim::Remote(kS2);
        EXPECT_EQ(box.cancels, cancels + 1);
        EXPECT_EQ(box.waitingReads, 0u);
        EXPECT_EQ(box.malformedCancels, 0u);
    }

    // So the next reader starts: a held key comes again and again, and the count ends it.
    ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"keys", GuidOf(kS2), "--count", "3"});
    ASSERT_TRUE(run.WaitForErr("for 3 keys; Ctrl+C ends.\n", kWait)) << run.Err();
    tunersim::HoldKey(kS2, KeyCode("ch+"), 2000, 100);
    const Result r = Finish(run);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    for (const std::string& line : lines) EXPECT_EQ(line.substr(12), "  0x2018  Channel +");
}

TEST_F(OmbrelCli, KeysOfATunerReadByAnotherProgramOrThatGoesAreRefusedOrEnd) {
    ConsoleProcess holder = ConsoleProcess::Start("ombrel.exe", {"keys", GuidOf(kS2)});
    ASSERT_TRUE(holder.WaitForErr("; Ctrl+C ends.\n", kWait)) << holder.Err();

    // Another program reads the keys: refused with its own exit code, before any key.
    const Result refused = RunOmbrel({"keys", GuidOf(kS2), "--json"});
    EXPECT_EQ(refused.exitCode, 30u);
    EXPECT_NE(refused.err.find("ombrel: another program reads the remote control of tuner "), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("(Talvex S2); end it there first"), std::string::npos) << refused.err;
    EXPECT_TRUE(refused.out.empty()) << refused.out;

    // ... and the first reader goes on, until its tuner goes.
    EXPECT_TRUE(holder.IsRunning());
    tunersim::PressKey(kS2, KeyCode("menu"));
    ASSERT_TRUE(HasLines(holder, 1)) << holder.Err();
    tunersim::Unplug(kS2);
    const auto code = holder.WaitForExit(kWait);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3u);
    EXPECT_NE(holder.Err().find("(Talvex S2) went away\n"), std::string::npos) << holder.Err();
    EXPECT_EQ(Lines(holder.Out()).size(), 1u);
    EXPECT_EQ(Lines(holder.Out())[0].substr(12), "  0x200E  Menu");

    // A tuner that is gone is no tuner to read.
    EXPECT_EQ(RunOmbrel({"keys", GuidOf(kS2)}).exitCode, 3u);
}

namespace {

constexpr const char* kTci = "00a1b2c3d4e50004";  // talvex-tci, WDM, a CI slot, no module until inserted

// What 'ci status --json' says of a tuner; every run opens the session anew, so a
// session left open by an earlier command would show as in use.
JsonValue CiStatus(const char* id) {
    const Result r = RunOmbrel({"ci", GuidOf(id), "status", "--json"});
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    return Json(r.out);
}

bool SessionFree(const char* id) {
    const JsonValue status = CiStatus(id);
    return status["slot"].Bool() && !status["sessionInUse"].Bool();
}

// A prompt of the menu walk has been written (and the walk waits at it).
bool Prompted(const ConsoleProcess& run, std::size_t count) {
    return run.WaitForOutput(
        [&](const std::string& out, const std::string&) {
            std::size_t prompts = 0;
            for (std::size_t at = out.find("]: "); at != std::string::npos; at = out.find("]: ", at + 1)) ++prompts;
            return prompts >= count;
        },
        kWait);
}

}  // namespace

TEST_F(OmbrelCli, CiStatusAndInfoTellTheSlotTheModuleAndTheSession) {
    tunersim::ReadyModule(kS2);
    const uint32_t opens = tunersim::CommonInterface(kS2).opens;

    // A ready module, as text and as JSON: the module's own application information.
    Result r = RunOmbrel({"ci", GuidOf(kS2), "status"});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find(", Talvex S2 (WDM), GUID " + GuidOf(kS2) + "\nCI slot:            yes\n"
                         "Session:            free\nModule:             ready\nMenu string:        Kestrel CAM\n"
                         "Manufacturer:       0x4B45\nManufacturer code:  0x0241\n"),
              std::string::npos)
        << r.out;
    JsonValue json = CiStatus(kS2);
    EXPECT_EQ(json["tuner"]["guid"].Text(), GuidOf(kS2));
    EXPECT_TRUE(json["slot"].Bool());
    EXPECT_FALSE(json["sessionInUse"].Bool());
    EXPECT_EQ(json["module"].Text(), "ready");
    EXPECT_EQ(json["application"]["menuString"].Text(), "Kestrel CAM");
    EXPECT_EQ(json["application"]["manufacturer"].Integer(), 0x4B45);
    EXPECT_EQ(json["application"]["manufacturerCode"].Integer(), 0x0241);

    r = RunOmbrel({"ci", "0x01", "info"});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("Menu string:        Kestrel CAM\nManufacturer:       0x4B45\n"
                         "Manufacturer code:  0x0241\nDate-time info:     60 (0x3C)\n"),
              std::string::npos)
        << r.out;
    json = Json(RunOmbrel({"ci", GuidOf(kS2), "info", "--json"}).out);
    EXPECT_EQ(json["tuner"]["model"].Text(), "Talvex S2");
    EXPECT_EQ(json["application"]["manufacturerCode"].Integer(), 0x0241);
    EXPECT_EQ(json["dateTimeInfo"].Integer(), 60);
    // Every command opened the session once and closed it again; none entered the menu.
    EXPECT_EQ(tunersim::CommonInterface(kS2).opens, opens + 4);
    EXPECT_EQ(tunersim::CommonInterface(kS2).menuEntries, 0u);

    // Held by another program: status says so and still reads the ready module; info
    // needs no session; the menu is refused and nothing reaches the module.
    ConsoleProcess holder = ConsoleProcess::Start("ombrel.exe", {"ci", GuidOf(kS2), "menu"}, "", true);
    ASSERT_TRUE(Prompted(holder, 1)) << holder.Out() << holder.Err();
    json = CiStatus(kS2);
    EXPECT_TRUE(json["sessionInUse"].Bool());
    EXPECT_EQ(json["module"].Text(), "ready");
    EXPECT_EQ(json["application"]["menuString"].Text(), "Kestrel CAM");
    r = RunOmbrel({"ci", GuidOf(kS2), "status"});
    EXPECT_NE(r.out.find("Session:            in use by another program\n"), std::string::npos) << r.out;
    EXPECT_EQ(RunOmbrel({"ci", GuidOf(kS2), "info"}).exitCode, 0u);
    const uint32_t entries = tunersim::CommonInterface(kS2).menuEntries;
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "1,0,0"});
    EXPECT_EQ(r.exitCode, 42u);
    EXPECT_NE(r.err.find("ombrel: another program has the Common Interface session of tuner "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("(Talvex S2) open; end it there first"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(tunersim::CommonInterface(kS2).menuEntries, entries);
    EXPECT_EQ(tunersim::CommonInterface(kS2).screen, "main menu");  // the holder's walk is undisturbed
    holder.WriteInput("q\n");
    EXPECT_EQ(Finish(holder).exitCode, 0u);
    EXPECT_TRUE(SessionFree(kS2));

    // A slot without a module, and one whose module is still starting up.
    r = RunOmbrel({"ci", GuidOf(kTci), "status"});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("CI slot:            yes\nSession:            free\nModule:             none\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Menu string"), std::string::npos);
    for (const char* action : {"info", "menu"}) {
        r = RunOmbrel({"ci", GuidOf(kTci), action});
        EXPECT_EQ(r.exitCode, 41u) << action;
        EXPECT_NE(r.err.find("ombrel: no module in the Common Interface slot of tuner "), std::string::npos) << r.err;
        // ... and what to do about it.
        EXPECT_NE(r.err.find("\nInsert a module, or give it longer to start (--timeout); 'ombrel ci <tuner> status' "
                             "shows the slot.\n"),
                  std::string::npos)
            << r.err;
    }
    tunersim::InsertModule(kTci);
    json = CiStatus(kTci);
    EXPECT_EQ(json["module"].Text(), "starting");
    EXPECT_TRUE(json["application"].IsNull());
    r = RunOmbrel({"ci", GuidOf(kTci), "menu", "--timeout", "1"});
    EXPECT_EQ(r.exitCode, 41u);
    EXPECT_NE(r.err.find("(Talvex T/CI) did not become ready within 1.0 s\n"), std::string::npos) << r.err;
    EXPECT_EQ(tunersim::CommonInterface(kTci).menuEntries, 0u);
    EXPECT_TRUE(SessionFree(kTci));

    // A model without a slot: status says so; info and menu are refused.
    json = CiStatus(kPellary);
    EXPECT_FALSE(json["slot"].Bool());
    EXPECT_TRUE(json["module"].IsNull());
    for (const char* action : {"info", "menu"}) {
        r = RunOmbrel({"ci", GuidOf(kPellary), action});
        EXPECT_EQ(r.exitCode, 40u) << action;
        EXPECT_NE(r.err.find("(Pellary SATV) has no Common Interface slot\n'ombrel info <tuner>' shows which tuners "
                             "have one (Common Interface: yes)"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(tunersim::CommonInterface(kPellary).opens, 0u);

    // Bad arguments are refused before any tuner is touched.
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "1,q,2"});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(r.err.find("\"q\" closes the menu, so nothing may follow it"), std::string::npos) << r.err;
    EXPECT_EQ(RunOmbrel({"ci", GuidOf(kS2), "open"}).exitCode, 2u);
    EXPECT_EQ(RunOmbrel({"ci", "42", "status"}).exitCode, 3u);
}

TEST_F(OmbrelCli, CiMenuWalkedFromAnswersReachesTheModule) {
    tunersim::ReadyModule(kS2);
    tunersim::ModuleReport before = tunersim::CommonInterface(kS2);

    // Into the parental menu behind the blind PIN enquiry, a rating chosen, and back out
    // until the module closes its menu.
    Result r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "3,1234,2,0,0,0"});
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_EQ(r.err, "Menu of \"Kestrel CAM\" in tuner 2 (Talvex S2), answered from --answers (6 entries).\n");
    const std::string mainMenu =
        "\nKestrel Conditional Access\nMain menu\n  1. Module information\n  2. Subscriptions\n"
        "  3. Parental control\n  4. Language\nChoose an entry\nChoice [1-4, 0 back, q close]: ";
    const std::string expected =
        mainMenu + "3\n"
        "\nEnter the parental PIN (4 digits)\n(hidden answer, 4 characters)\nAnswer [q close]: (hidden)\n"
        "\nParental control\nMaturity rating\n  1. From 12 years\n  2. From 16 years\n  3. From 18 years\n"
        "Choose a rating\nChoice [1-3, 0 back, q close]: 2\n"
        "\nParental control\n    Maturity rating set to 16 years.\nPress OK to go back\nChoice [0 back, q close]: 0\n"
        "\nParental control\nMaturity rating\n  1. From 12 years\n  2. From 16 years (set)\n  3. From 18 years\n"
        "Choose a rating\nChoice [1-3, 0 back, q close]: 0\n" +
        mainMenu + "0\n\nThe module closed its menu.\n";
    EXPECT_EQ(r.out, expected);
    // The module received each answer, the PIN among them, which ombrel never printed.
    tunersim::ModuleReport after = tunersim::CommonInterface(kS2);
    EXPECT_EQ(after.menuEntries, before.menuEntries + 1);
    EXPECT_EQ(after.menuAnswers, before.menuAnswers + 5);
    EXPECT_EQ(after.lastChoice, 0u);
    EXPECT_EQ(after.enquiryAnswers, before.enquiryAnswers + 1);
    EXPECT_EQ(after.lastAnswerId, 1u);
    EXPECT_EQ(after.lastAnswer, "1234");
    EXPECT_EQ(after.rating, 16u);
    EXPECT_EQ(after.screen, "");
    EXPECT_EQ(after.mmiCloses, before.mmiCloses);  // the module closed it itself
    EXPECT_EQ(r.out.find("1234"), std::string::npos);
    EXPECT_TRUE(SessionFree(kS2));

    // The visible enquiry, and "q" closing the menu from a list.
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "4,fra,q"});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("\nEnter a menu language (3 letters)\n(answer, 3 characters)\nAnswer [q close]: fra\n"
                         "\nLanguage\n    Menu language set to \"fra\".\nPress OK to go back\n"
                         "Choice [0 back, q close]: q\nMenu closed.\n"),
              std::string::npos)
        << r.out;
    before = after;
    after = tunersim::CommonInterface(kS2);
    EXPECT_EQ(after.language, "fra");
    EXPECT_EQ(after.mmiCloses, before.mmiCloses + 1);
    EXPECT_EQ(after.screen, "");

    // The answers run out while the module still asks: the menu is closed, exit 44.
    before = after;
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "2"});
    EXPECT_EQ(r.exitCode, 44u);
    EXPECT_NE(r.out.find("Service 114  Kestrel Travel  until 2031-12-31\nPress OK to go back\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("ombrel: the module still asks, but --answers (1 entry) has run out; the menu was closed\n"),
              std::string::npos)
        << r.err;
    after = tunersim::CommonInterface(kS2);
    EXPECT_EQ(after.menuAnswers, before.menuAnswers + 1);
    EXPECT_EQ(after.mmiCloses, before.mmiCloses + 1);
    EXPECT_EQ(after.screen, "");

    // An answer that is no choice of the menu shown is not sent.
    before = after;
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "1,2"});
    EXPECT_EQ(r.exitCode, 44u);
    EXPECT_NE(r.err.find("ombrel: --answers, entry 2: '2' is no choice here: 0 goes back, q closes the menu; "
                         "the menu was closed\n"),
              std::string::npos)
        << r.err;
    after = tunersim::CommonInterface(kS2);
    EXPECT_EQ(after.menuAnswers, before.menuAnswers + 1);
    EXPECT_EQ(after.lastChoice, 1u);
    EXPECT_EQ(after.mmiCloses, before.mmiCloses + 1);

    // Entries left when the module closes its menu: the script did not walk as meant.
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "0,1"});
    EXPECT_EQ(r.exitCode, 44u);
    EXPECT_NE(r.out.find("\nThe module closed its menu.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("ombrel: the module closed its menu with 1 entry of --answers left\n"), std::string::npos)
        << r.err;

    // An object that ombrel cannot show: said so, and the menu closed.
    tunersim::SetRawMmiObject(kS2, {0x9F, 0x88, 0x01, 0x01, 0x01});
    before = tunersim::CommonInterface(kS2);
    r = RunOmbrel({"ci", GuidOf(kS2), "menu", "--answers", "1"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.err.find("the module sent an object that ombrel cannot show (tag 0x9F8801, 1 byte)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(tunersim::CommonInterface(kS2).mmiCloses, before.mmiCloses + 1);
    EXPECT_EQ(tunersim::CommonInterface(kS2).menuAnswers, before.menuAnswers);
    tunersim::SetRawMmiObject(kS2, {});
    EXPECT_TRUE(SessionFree(kS2));
}

TEST_F(OmbrelCli, CiMenuOnTheConsoleEndsAtQCtrlCOrWhenTheModuleOrTheTunerGoes) {
    tunersim::ReadyModule(kS2);
    {
        // Typed answers: a wrong one is asked again; the hidden PIN is not shown.
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"ci", GuidOf(kS2), "menu"}, "", true);
        ASSERT_TRUE(Prompted(run, 1)) << run.Out() << run.Err();
        EXPECT_NE(run.Err().find("; an empty answer or q closes it, Ctrl+C too.\n"), std::string::npos) << run.Err();
        run.WriteInput("7\n");
        ASSERT_TRUE(run.WaitForErr("'7' is no choice of this menu: 1 to 4 chooses an entry", kWait)) << run.Err();
        ASSERT_TRUE(Prompted(run, 2));
        EXPECT_EQ(tunersim::CommonInterface(kS2).screen, "main menu");
        run.WriteInput("3\n");
        ASSERT_TRUE(run.WaitForOut("Answer [q close]: ", kWait)) << run.Out();
        run.WriteInput("4321\n");  // wrong PIN
        ASSERT_TRUE(run.WaitForOut("Wrong PIN\n", kWait)) << run.Out();
        run.WriteInput("\n");  // an empty answer closes the menu
        const Result r = Finish(run);
        EXPECT_EQ(r.exitCode, 0u) << r.err;
        EXPECT_NE(r.out.find("Answer [q close]: (hidden)\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("4321"), std::string::npos);
        EXPECT_NE(r.out.find("\nMenu closed.\n"), std::string::npos) << r.out;
        EXPECT_EQ(tunersim::CommonInterface(kS2).lastAnswer, "4321");
        EXPECT_EQ(tunersim::CommonInterface(kS2).screen, "");
    }
    EXPECT_TRUE(SessionFree(kS2));
    {
        // Ctrl+C while the walk waits for an answer.
        const uint32_t closes = tunersim::CommonInterface(kS2).mmiCloses;
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"ci", GuidOf(kS2), "menu"}, "", true);
        ASSERT_TRUE(Prompted(run, 1)) << run.Out() << run.Err();
        ASSERT_TRUE(run.Interrupt());
        const auto code = run.WaitForExit(kWait);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 45u);
        EXPECT_NE(run.Err().find("ombrel: stopped (Ctrl+C); the module's menu and the session of tuner "),
                  std::string::npos)
            << run.Err();
        EXPECT_EQ(tunersim::CommonInterface(kS2).mmiCloses, closes + 1);
        EXPECT_EQ(tunersim::CommonInterface(kS2).screen, "");
    }
    EXPECT_TRUE(SessionFree(kS2));
    {
        // The module leaves the slot mid-walk.
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"ci", GuidOf(kS2), "menu"}, "", true);
        ASSERT_TRUE(Prompted(run, 1)) << run.Out() << run.Err();
        run.WriteInput("1\n");
        ASSERT_TRUE(run.WaitForOut("Serial number KS-0042-7781\n", kWait)) << run.Out();
        ASSERT_TRUE(Prompted(run, 2));
        tunersim::RemoveModule(kS2);
        const Result r = Finish(run);
        EXPECT_EQ(r.exitCode, 43u);
        EXPECT_NE(r.err.find("ombrel: the module left the Common Interface slot of tuner "), std::string::npos) << r.err;
    }
    EXPECT_TRUE(SessionFree(kS2));
    EXPECT_EQ(CiStatus(kS2)["module"].Text(), "none");
    {
        // The tuner goes mid-walk.
        tunersim::ReadyModule(kS2);
        ConsoleProcess run = ConsoleProcess::Start("ombrel.exe", {"ci", GuidOf(kS2), "menu"}, "", true);
        ASSERT_TRUE(Prompted(run, 1)) << run.Out() << run.Err();
        tunersim::Unplug(kS2);
        const Result r = Finish(run);
        EXPECT_EQ(r.exitCode, 3u);
        EXPECT_NE(r.err.find("(Talvex S2) went away\n"), std::string::npos) << r.err;
    }
    // Back again, its session is free for the next program.
    tunersim::Plug(tunersim::Find(kS2)->profile);
    ASSERT_TRUE(uidriver::WaitUntil([] { return RunOmbrel({"ci", GuidOf(kS2), "status"}).exitCode == 0; }, kWait));
    EXPECT_TRUE(SessionFree(kS2));
}
