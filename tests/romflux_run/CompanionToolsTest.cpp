// Ending and restarting the companion programs, against real processes: ui_helper.exe
// windows of the companions' classes (and copies of it standing in for the programs),
// and the real companion programs when they are built.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "CompanionTools.h"
#include "UiDriver.h"

using namespace uidriver;
using romflux::CompanionTools;

namespace {

constexpr DWORD kWait = 10000;
const wchar_t* const kRemote = L"Talvex Remote Control";
const wchar_t* const kCi = L"Talvex Common Interface";

std::wstring Helper() { return BinDirectory() + L"ui_helper.exe"; }

Process StartWindow(const wchar_t* className, const wchar_t* mode = L"window") {
    Process process = Process::Launch(Helper(), std::wstring(mode) + L" \"" + className + L"\"");
    EXPECT_NE(WaitForTopLevelWindow(process.Id(), className, nullptr, kWait), nullptr)
        << "helper window did not appear";
    return process;
}

// Ends companion windows that a test's restart started outside any job of ours.
void EndStrayCompanions() {
    for (const wchar_t* name : {kRemote, kCi}) EndOwnersOfWindowsOfClass(name, kWait);
}

// A directory with Tools\TalvexRemote.exe and Tools\TalvexCI.exe (copies of the
// helper, which take their window class from their file name); removed at the end.
class ToolsFolder {
public:
    ToolsFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        base_ = std::wstring(temp) + L"companions-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"\\";
        CreateDirectoryW(base_.c_str(), nullptr);
        CreateDirectoryW((base_ + L"Tools").c_str(), nullptr);
        for (const wchar_t* name : {L"TalvexRemote.exe", L"TalvexCI.exe"}) {
            CopyFileW(Helper().c_str(), (base_ + L"Tools\\" + name).c_str(), FALSE);
        }
    }
    ~ToolsFolder() {
        EndStrayCompanions();
        for (const wchar_t* name : {L"TalvexRemote.exe", L"TalvexCI.exe"}) {
            DeleteFileW((base_ + L"Tools\\" + name).c_str());
        }
        RemoveDirectoryW((base_ + L"Tools").c_str());
        RemoveDirectoryW(base_.c_str());
    }
    const std::wstring& Base() const { return base_; }
    std::string BasePrefix() const { return Narrow(base_); }

private:
    std::wstring base_;
};

class CompanionToolsTest : public ::testing::Test {
protected:
    void SetUp() override { EndStrayCompanions(); }
    void TearDown() override { EndStrayCompanions(); }
};

}  // namespace

TEST_F(CompanionToolsTest, NothingRunningFindsNothingAndStartsNothing) {
    ToolsFolder folder;
    CompanionTools tools(folder.BasePrefix());
    tools.Close();
    EXPECT_FALSE(tools.RemoteControlFound());
    EXPECT_FALSE(tools.CommonInterfaceFound());
    EXPECT_EQ(tools.Restart(nullptr), 0);
    PumpFor(500);
    EXPECT_TRUE(WindowsOfClass(kRemote).empty());
    EXPECT_TRUE(WindowsOfClass(kCi).empty());
}

TEST_F(CompanionToolsTest, RunningCompanionsAreToldToEndAndRecorded) {
    Process remote = StartWindow(kRemote);
    Process ci = StartWindow(kCi);
    Process secondCi = StartWindow(kCi);
    CompanionTools tools("");
    tools.Close();
    EXPECT_TRUE(tools.RemoteControlFound());
    EXPECT_TRUE(tools.CommonInterfaceFound());
    // Each window got WM_DESTROY: the helpers end on it.
    EXPECT_EQ(remote.WaitForExit(kWait), std::make_optional<DWORD>(0));
    EXPECT_EQ(ci.WaitForExit(kWait), std::make_optional<DWORD>(0));
    EXPECT_EQ(secondCi.WaitForExit(kWait), std::make_optional<DWORD>(0));

    // The flags describe the last search only.
    tools.Close();
    EXPECT_FALSE(tools.RemoteControlFound());
    EXPECT_FALSE(tools.CommonInterfaceFound());
}

TEST_F(CompanionToolsTest, OnlyExactClassNamesMatch) {
    Process longer = StartWindow(L"Talvex Remote Control X");
    Process shorter = StartWindow(L"Talvex Common Interfac");
    Process lower = StartWindow(L"talvex remote control");
    Process ci = StartWindow(kCi);
    CompanionTools tools("");
    tools.Close();
    EXPECT_FALSE(tools.RemoteControlFound());
    EXPECT_TRUE(tools.CommonInterfaceFound());
    EXPECT_EQ(ci.WaitForExit(kWait), std::make_optional<DWORD>(0));
    PumpFor(300);
    EXPECT_TRUE(longer.IsRunning());
    EXPECT_TRUE(shorter.IsRunning());
    EXPECT_TRUE(lower.IsRunning());
}

TEST_F(CompanionToolsTest, HungCompanionDoesNotHoldTheCaller) {
    Process hung = StartWindow(kRemote, L"hung");
    Process ci = StartWindow(kCi);
    CompanionTools tools("");
    tools.SetCloseTimeout(1000);
    // Close runs on a thread of its own so that a Close that waits for ever fails the
    // test instead of hanging it: ending the hung process releases such a wait.
    std::atomic<bool> finished{false};
    std::thread closer([&] {
        tools.Close();
        finished = true;
    });
    bool returned = WaitUntil([&] { return finished.load(); }, 8000);
    if (!returned) hung.Kill();
    closer.join();
    ASSERT_TRUE(returned) << "Close waited for the hung window";
    EXPECT_TRUE(tools.RemoteControlFound());
    EXPECT_TRUE(tools.CommonInterfaceFound());
    // The responsive companion was still told, whichever came first.
    EXPECT_EQ(ci.WaitForExit(kWait), std::make_optional<DWORD>(0));
    EXPECT_TRUE(hung.IsRunning());
}

TEST_F(CompanionToolsTest, RestartStartsTheFoundOnesHiddenFromTheirToolsFolder) {
    ToolsFolder folder;
    {
        Process remote = StartWindow(kRemote);
        Process ci = StartWindow(kCi);
        CompanionTools tools(folder.BasePrefix());
        tools.Close();
        ASSERT_TRUE(tools.RemoteControlFound());
        ASSERT_TRUE(tools.CommonInterfaceFound());
        ASSERT_TRUE(remote.WaitForExit(kWait).has_value());
        ASSERT_TRUE(ci.WaitForExit(kWait).has_value());

        // The current directory plays no part: the base prefix finds the tools.
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        EXPECT_EQ(tools.Restart(nullptr), 2);
        SetCurrentDirectoryW(previous);
    }
    std::wstring tools = folder.Base() + L"Tools";
    HWND remote = nullptr;
    HWND ci = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<HWND> r = WindowsOfClass(kRemote), c = WindowsOfClass(kCi);
        remote = r.empty() ? nullptr : r.front();
        ci = c.empty() ? nullptr : c.front();
        return remote && ci;
    }, kWait));
    EXPECT_EQ(WindowsOfClass(kRemote).size(), 1u);
    EXPECT_EQ(WindowsOfClass(kCi).size(), 1u);
    for (HWND window : {remote, ci}) {
        std::wstring caption = WindowText(window);
        // Started in <base>\Tools with SW_HIDE.
        EXPECT_EQ(CompareStringOrdinal(caption.c_str(), -1, (L"cwd=" + tools + L"|show=0").c_str(), -1,
                                       TRUE),
                  CSTR_EQUAL)
            << Narrow(caption);
    }
    // Remote control first.
    EXPECT_LT(ProcessCreationTime(WindowProcessId(remote)), ProcessCreationTime(WindowProcessId(ci)));
}

TEST_F(CompanionToolsTest, RestartStartsOnlyWhatTheLastSearchFound) {
    ToolsFolder folder;
    {
        Process ci = StartWindow(kCi);
        CompanionTools tools(folder.BasePrefix());
        tools.Close();
        ASSERT_FALSE(tools.RemoteControlFound());
        ASSERT_TRUE(tools.CommonInterfaceFound());
        ASSERT_TRUE(ci.WaitForExit(kWait).has_value());
        EXPECT_EQ(tools.Restart(nullptr), 1);
    }
    EXPECT_TRUE(WaitUntil([] { return !WindowsOfClass(kCi).empty(); }, kWait));
    PumpFor(300);
    EXPECT_TRUE(WindowsOfClass(kRemote).empty());
}

TEST_F(CompanionToolsTest, MissingOrUnreachableToolsAreIgnored) {
    Process remote = StartWindow(kRemote);
    CompanionTools tools("C:\\no-such-folder\\");
    tools.Close();
    ASSERT_TRUE(tools.RemoteControlFound());
    EXPECT_EQ(tools.Restart(nullptr), 0);

    // A prefix too long for a path is not cut down to some other path.
    tools.SetBasePrefix(std::string(300, 'a') + "\\");
    EXPECT_EQ(tools.Restart(nullptr), 0);
}

TEST(CompanionToolsPaths, DefaultPrefixIsTheProgramsOwnDirectory) {
    CompanionTools tools;
    const std::string bin = Narrow(BinDirectory());
    EXPECT_EQ(tools.BasePrefix(), bin);
    EXPECT_EQ(CompanionTools::ProgramDirectory(), bin);
    EXPECT_EQ(tools.BasePrefix().back(), '\\');
    EXPECT_EQ(tools.ToolsDirectory(), bin + "Tools\\");
    EXPECT_EQ(tools.ToolPath(romflux::kRemoteControlFile), bin + "Tools\\TalvexRemote.exe");
    EXPECT_EQ(tools.ToolPath(romflux::kCommonInterfaceFile), bin + "Tools\\TalvexCI.exe");

    CompanionTools relative("");
    EXPECT_EQ(relative.ToolsDirectory(), "Tools\\");
    EXPECT_EQ(relative.ToolPath(romflux::kCommonInterfaceFile), "Tools\\TalvexCI.exe");
}

TEST_F(CompanionToolsTest, RealCompanionProgramsEndOnClose) {
    const std::wstring tools = BinDirectory() + L"Tools\\";
    if (GetFileAttributesW((tools + L"TalvexRemote.exe").c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW((tools + L"TalvexCI.exe").c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "companion programs are not built in this tree";
    }
    Process remote = Process::Launch(tools + L"TalvexRemote.exe", L"", tools);
    Process ci = Process::Launch(tools + L"TalvexCI.exe", L"", tools);
    ASSERT_NE(WaitForTopLevelWindow(remote.Id(), kRemote, nullptr, kWait), nullptr);
    ASSERT_NE(WaitForTopLevelWindow(ci.Id(), kCi, nullptr, kWait), nullptr);

    CompanionTools tools_;
    tools_.Close();
    EXPECT_TRUE(tools_.RemoteControlFound());
    EXPECT_TRUE(tools_.CommonInterfaceFound());
    EXPECT_TRUE(remote.WaitForExit(kWait).has_value());
    EXPECT_TRUE(ci.WaitForExit(kWait).has_value());

    // Started again from bin\Tools by the default prefix.
    EXPECT_EQ(tools_.Restart(nullptr), 2);
    EXPECT_TRUE(WaitUntil([] { return !WindowsOfClass(kRemote).empty() && !WindowsOfClass(kCi).empty(); },
                          kWait));
}
