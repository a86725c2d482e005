// tunersim.exe as a separate process: state shared across processes, the device-change
// broadcast, bad input that leaves nothing behind.
#include <gtest/gtest.h>

#include "DeviceChangeWindow.h"
#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

class Tool : public ::testing::Test {
protected:
    void SetUp() override { tunersim::Reset(false); }
    void TearDown() override { tunersim::Reset(false); }
    ComApartment com_;
};

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

TEST_F(Tool, StateChangedByTheToolIsSeenByThisProcessAndTheOtherWayRound) {
    const auto plugged = RunTool("plug --preset talvex-cci-r2 --id 00000000000000e1 --model both "
                                 "--subunit 4 --no-broadcast");
    ASSERT_EQ(plugged.exitCode, 0u) << plugged.output;
    EXPECT_EQ(Trimmed(plugged.output), "00000000000000e1");
    const auto info = tunersim::Find("00000000000000e1");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->profile.modelCode, 0x36);
    EXPECT_EQ(info->profile.hardwareRevision, 2);
    EXPECT_EQ(info->profile.subunit, 4);

    auto properties = BindProperties(kTunerCategory, info->displayNames[1]);
    ASSERT_TRUE(properties);
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).data[1], 0x36);

    // Another process changes the version of the box this process has bound.
    auto run = RunTool("set-firmware 00000000000000e1 3.4.5 0x0A0B");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).data,
              (std::vector<uint8_t>{1, 0x36, 2, 3, 4, 5, 0x0A, 0x0B}));
    run = RunTool("fault 00000000000000e1 11 get false");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).hr, S_FALSE);
    run = RunTool("clear-faults 00000000000000e1");
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).hr, S_OK);

    // This process's requests and devices are seen by the tool.
    run = RunTool("requests 00000000000000e1 11");
    ASSERT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Trimmed(run.output), "gets 4 sets 0");
    // The box by its GUID, as ombrel shows it (the id's bytes in the other order).
    run = RunTool("fault 0xE100000000000000 11 get false");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).hr, S_FALSE);
    run = RunTool("clear-faults e100000000000000");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).hr, S_OK);
    auto mine = tunersim::Preset("pellary");
    mine.id = "00000000000000e2";
    tunersim::Plug(mine, false);
    run = RunTool("list");
    EXPECT_NE(run.output.find("00000000000000e1  plugged"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("00000000000000e2  plugged"), std::string::npos) << run.output;

    // The tool's enum lists what the system device enumerator sees.
    run = RunTool("enum");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    for (const auto& name : info->displayNames)
        EXPECT_NE(run.output.find(name), std::string::npos) << name;
    EXPECT_NE(run.output.find("\"Talvex BDA Tuner DVBC\""), std::string::npos);

    run = RunTool("unplug 00000000000000e1 --no-broadcast");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(FAILED(GetProperty(properties.Get(), 11, 8).hr));
    run = RunTool("replug 00000000000000e1 --no-broadcast");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).hr, S_OK);
}

TEST_F(Tool, PlugAndUnplugBroadcastDeviceChangeToTopLevelWindows) {
    DeviceChangeWindow window;
    ASSERT_TRUE(window.Ready());
    auto run = RunTool("plug --preset talvex-s2 --id 00000000000000e3");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(window.WaitFor(1));
    run = RunTool("unplug 00000000000000e3");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(window.WaitFor(2));
    run = RunTool("plug --preset talvex-s2 --id 00000000000000e4 --no-broadcast");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    tunersim::Unplug("00000000000000e4", true);
    EXPECT_TRUE(window.WaitFor(3));
    Sleep(200);
    EXPECT_EQ(window.Count(), 3);  // the --no-broadcast plug sent nothing
}

TEST_F(Tool, BadInputFailsClearlyAndLeavesNothingBehind) {
    auto before = RunTool("enum");
    ASSERT_EQ(before.exitCode, 0u);
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"plug --id 12345", "malformed device id"},
        {"plug --id 00000000000000zz", "malformed device id"},
        {"plug --id 00000000000000001", "malformed device id"},
        {"plug --preset talvex-s9", "unknown preset"},
        {"plug --subunit 12", "subunit"},
        {"plug --model usb", "driver model"},
        {"plug --ident 1,0x34", "identification"},
        {"plug --ident 1,0x134,4", "model code"},
        {"plug --version 1.2", "version"},
        {"plug --driver 123456789012345678901", "longer than 20"},
        {"plug --colour red", "unknown option"},
        {"plug --id", "needs a value"},
        {"unplug 0000000000000bad", "unknown device"},
        {"unplug 0000000000000bad", "or by its GUID as ombrel list shows it"},
        {"unplug --gap 5 00000000000000e5", "unknown option --gap"},
        {"unplug", "missing device id"},
        {"remove 0000000000000bad", "unknown device"},
        {"set-firmware 0000000000000bad 1.2.3 4", "unknown device"},
        {"set-firmware 00000000000000e5 1.2.3 70000", "build"},
        {"fault 00000000000000e5 11 sideways fail", "direction"},
        {"fault 00000000000000e5 11 get explode", "bad fault"},
        {"script-update 00000000000000e5 fail:101:2", "percentage"},
        {"frobnicate", "unknown command"},
        {"", "no command"},
    };
    for (const auto& c : cases) {
        const auto run = RunTool(c.arguments);
        EXPECT_NE(run.exitCode, 0u) << c.arguments;
        EXPECT_NE(run.output.find(c.message), std::string::npos)
            << c.arguments << " -> " << run.output;
    }
    EXPECT_TRUE(tunersim::List().empty());
    EXPECT_EQ(RunTool("enum").output, before.output);

    // Plugging an id that is already plugged changes nothing.
    ASSERT_EQ(RunTool("plug --id 00000000000000e6 --no-broadcast").exitCode, 0u);
    const auto again = RunTool("plug --id 00000000000000e6 --preset pellary --no-broadcast");
    EXPECT_NE(again.exitCode, 0u);
    EXPECT_NE(again.output.find("already plugged"), std::string::npos) << again.output;
    ASSERT_EQ(tunersim::List().size(), 1u);
    EXPECT_EQ(tunersim::List()[0].profile.modelCode, 0x34);

    // A raw instance name taken by another box is refused and leaves no half box.
    auto profile = tunersim::Preset("pellary");
    profile.wdmInstanceName = tunersim::List()[0].profile.wdmInstanceName;
    EXPECT_THROW(tunersim::Plug(profile, false), tunersim::Error);
    profile.wdmInstanceName = "bad\\name";
    EXPECT_THROW(tunersim::Plug(profile, false), tunersim::Error);
    EXPECT_EQ(tunersim::List().size(), 1u);
}

TEST_F(Tool, HelpExplainsEveryCommandAndDemoPlugsTheDemoSet) {
    const auto help = RunTool("help");
    EXPECT_EQ(help.exitCode, 0u);
    for (const char* command :
         {"plug", "unplug", "replug", "remove", "list", "enum", "set-firmware", "set-ident",
          "set-driver", "fault", "clear-faults", "requests", "update-timing", "script-update",
          "last-image", "tuning", "settle-time", "last-request", "sky", "press", "hold", "keys",
          "remote", "remote-fault", "ci-insert", "ci-ready", "ci-remove", "ci-events", "ci-mmi",
          "ci-show", "broadcast", "reset", "demo", "register", "unregister"})
        EXPECT_NE(help.output.find(std::string("  ") + command + " "), std::string::npos)
            << command;
    for (const auto& preset : tunersim::PresetNames())
        EXPECT_NE(help.output.find(preset), std::string::npos) << preset;
    // --help and -h are the usage too, not unknown commands.
    for (const char* flag : {"--help", "-h"}) {
        const auto asked = RunTool(flag);
        EXPECT_EQ(asked.exitCode, 0u) << flag;
        EXPECT_EQ(asked.output, help.output) << flag;
    }

    tunersim::Plug(tunersim::Preset("holtrim"), false);
    const auto demo = RunTool("demo");
    ASSERT_EQ(demo.exitCode, 0u) << demo.output;
    const auto listed = tunersim::List();
    const auto expected = tunersim::DemoSet();
    ASSERT_EQ(listed.size(), expected.size());  // the holtrim box went with the reset
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto found = tunersim::Find(expected[i].id);
        ASSERT_TRUE(found.has_value()) << expected[i].id;
        EXPECT_TRUE(found->plugged);
        for (const auto& name : found->displayNames)
            EXPECT_NE(demo.output.find(name), std::string::npos) << name;
    }
}

// What the installer runs: unregister takes every box away and the filter's COM class
// with them; register (and any later plug) brings the class back, pointing at the DLL.
TEST_F(Tool, UnregisterRemovesTheBoxesAndTheFilterClassAndRegisterRestoresIt) {
    const std::wstring classKey = L"CLSID\\{6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}\\InprocServer32";
    auto registeredPath = [&]() -> std::wstring {
        wchar_t path[MAX_PATH] = {};
        DWORD size = sizeof path - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CLASSES_ROOT, classKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) !=
            ERROR_SUCCESS)
            return {};
        return path;
    };
    ASSERT_EQ(RunTool("plug --preset talvex-s2 --id 00000000000000e7 --model both --no-broadcast").exitCode, 0u);
    ASSERT_FALSE(registeredPath().empty());

    const auto unregister = RunTool("unregister --no-broadcast");
    ASSERT_EQ(unregister.exitCode, 0u) << unregister.output;
    EXPECT_TRUE(registeredPath().empty());
    EXPECT_TRUE(tunersim::List().empty());
    const auto listed = RunTool("enum");
    EXPECT_EQ(listed.output.find("00000000000000e7"), std::string::npos) << listed.output;

    const auto registered = RunTool("register");
    ASSERT_EQ(registered.exitCode, 0u) << registered.output;
    const std::wstring path = registeredPath();
    ASSERT_GE(path.size(), 20u);
    EXPECT_EQ(path.substr(path.size() - 19), L"TalvexSimFilter.dll");

    // A class key that cannot go (here: it holds a key of someone else's) is a failure,
    // not a quiet success; once it can go, unregister succeeds, and again when nothing is
    // left to remove.
    const std::wstring foreign = L"CLSID\\{6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}\\Foreign";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, foreign.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const auto stuck = RunTool("unregister --no-broadcast");
    EXPECT_EQ(stuck.exitCode, 1u) << stuck.output;
    EXPECT_NE(stuck.output.find("cannot remove the simulator's filter class"), std::string::npos) << stuck.output;
    ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, foreign.c_str()), ERROR_SUCCESS);
    const auto cleared = RunTool("unregister --no-broadcast");
    EXPECT_EQ(cleared.exitCode, 0u) << cleared.output;
    const auto again = RunTool("unregister --no-broadcast");
    EXPECT_EQ(again.exitCode, 0u) << again.output;
    EXPECT_EQ(RunTool("register").exitCode, 0u);
    EXPECT_FALSE(registeredPath().empty());
}

TEST_F(Tool, ProcessesPluggingAtOnceGetDistinctCompleteBoxes) {
    constexpr int kProcesses = 4;
    std::vector<PROCESS_INFORMATION> started;
    for (int i = 0; i < kProcesses; ++i) {
        std::string command = "\"" + BinDir() + "tunersim.exe\" plug --preset pellary --model both "
                              "--no-broadcast";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info));
        started.push_back(info);
    }
    for (auto& info : started) {
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(info.hProcess, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    const auto boxes = tunersim::List();
    ASSERT_EQ(boxes.size(), static_cast<std::size_t>(kProcesses));
    const auto tuners = Enumerate(kTunerCategory);
    const auto receivers = Enumerate(kReceiverCategory);
    const auto wdms = Enumerate(kWdmCategory);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t k = i + 1; k < boxes.size(); ++k)
            EXPECT_NE(boxes[i].profile.id, boxes[k].profile.id);
        ASSERT_EQ(boxes[i].displayNames.size(), 3u);
        EXPECT_NE(FindListed(wdms, boxes[i].displayNames[0]), nullptr);
        EXPECT_NE(FindListed(tuners, boxes[i].displayNames[1]), nullptr);
        EXPECT_NE(FindListed(receivers, boxes[i].displayNames[2]), nullptr);
    }
}

}  // namespace
