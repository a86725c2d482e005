// The companion programs as real processes against simulated tuners: what their
// windows list, how they follow plugging and unplugging, and how they end.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include <TunerSimControl.h>

#include "CompanionIds.h"
#include "CompanionProcess.h"
#include "SimulatedBox.h"

namespace companion_test {
namespace {

const std::wstring kRemote = companion::kRemoteClassName;
const std::wstring kCi = companion::kCiClassName;

struct Program {
    std::wstring exe;
    std::wstring className;
};
const Program kPrograms[] = {{L"TalvexRemote.exe", kRemote}, {L"TalvexCI.exe", kCi}};

// Identifiers and the GUID strings that the library forms of them (byte pairs reversed).
const std::string kS2Id = "0012345678abcdef";
const std::wstring kS2Guid = L"efcdab7856341200";
const std::string kSatvId = "00000000000012ab";
const std::wstring kSatvGuid = L"ab12000000000000";
const std::string kCableId = "0a0b0c0d0e0f1011";
const std::wstring kCableGuid = L"11100f0e0d0c0b0a";

class CompanionProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset();
        // Other suites start companions through Romflux; each case needs them gone.
        for (const Program& program : kPrograms) {
            ASSERT_TRUE(EndProcessesWithWindowOfClass(program.className))
                << "a window of " << std::string(program.className.begin(), program.className.end()) << " stays";
        }
    }
    void TearDown() override { tunersim::Reset(false); }

    enum class Order { Table, Any };

    // Waits until the window shows exactly `expected`; on a timeout the assertion
    // prints what it showed last. Devices found by one scan come in the system
    // enumerator's order, so their rows are compared in any order; later arrivals
    // are appended in the order they came.
    static void ExpectContents(HWND window, WindowContents expected, Order order = Order::Table) {
        const auto normal = [order](WindowContents contents) {
            if (order == Order::Any) {
                std::sort(contents.rows.begin(), contents.rows.end());
            }
            return contents;
        };
        expected = normal(expected);
        WindowContents last;
        WaitFor([&] { return (last = normal(ReadContents(window))) == expected; }, 20s);
        EXPECT_EQ(last.rows, expected.rows);
        EXPECT_EQ(last.status, expected.status);
    }

    // The window is shown before the library is started; the status line leaves its
    // first text once the first reading is on screen.
    static bool WaitUntilStarted(HWND window) {
        return WaitFor(
            [&] {
                const std::wstring status = ReadContents(window).status;
                return !status.empty() && status != L"Looking for tuners...";
            },
            20s);
    }

    static void EndByDestroyMessage(const CompanionProcess& process, HWND window) {
        // Romflux's way: WM_DESTROY sent from another process, waiting for it to be handled.
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_NORMAL, 10000, &result));
        DWORD exitCode = 1234;
        ASSERT_TRUE(process.WaitForExit(15s, &exitCode)) << "the companion did not end";
        EXPECT_EQ(exitCode, 0u);
        EXPECT_FALSE(IsWindow(window));
    }
};

TEST_F(CompanionProcessTest, RemoteListsModelAndGuidOfEveryAttachedDevice) {
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    // A box in both driver models is two devices for the library, so two rows.
    tunersim::Plug(Box(kSatvId, 1, 0x14, 0, tunersim::kBoth));
    auto process = CompanionProcess::Start(L"TalvexRemote.exe", SW_SHOWNORMAL);
    ASSERT_TRUE(process.valid());
    const HWND window = process.WaitForWindow(kRemote);
    ASSERT_NE(window, nullptr);
    ExpectContents(window, {{L"Talvex S2\t" + kS2Guid + L"\tWDM", L"Pellary SATV\t" + kSatvGuid + L"\tWDM",
                             L"Pellary SATV\t" + kSatvGuid + L"\tBDA"},
                            L"3 tuners attached."},
                   Order::Any);
    EndByDestroyMessage(process, window);
}

TEST_F(CompanionProcessTest, RemoteFollowsPluggingAndUnplugging) {
    auto process = CompanionProcess::Start(L"TalvexRemote.exe", SW_SHOWNORMAL);
    const HWND window = process.WaitForWindow(kRemote);
    ASSERT_NE(window, nullptr);
    ExpectContents(window, {{}, L"No tuner attached."});

    const std::wstring s2Row = L"Talvex S2\t" + kS2Guid + L"\tWDM";
    const std::wstring cableRow = L"Talvex C/CI\t" + kCableGuid + L"\tWDM";
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    ExpectContents(window, {{s2Row}, L"1 tuner attached."});
    tunersim::Plug(Box(kCableId, 1, 0x36, 1));
    ExpectContents(window, {{s2Row, cableRow}, L"2 tuners attached."});
    tunersim::Unplug(kS2Id);
    ExpectContents(window, {{cableRow}, L"1 tuner attached."});
    // Back again: the library keeps its place in the table, before the other box.
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    ExpectContents(window, {{s2Row, cableRow}, L"2 tuners attached."});
    tunersim::Unplug(kS2Id);
    tunersim::Unplug(kCableId);
    ExpectContents(window, {{}, L"No tuner attached."});
    EndByDestroyMessage(process, window);
}

TEST_F(CompanionProcessTest, SelectionStaysOnItsTunerWhenTheListChanges) {
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    auto process = CompanionProcess::Start(L"TalvexRemote.exe", SW_SHOWNORMAL);
    const HWND window = process.WaitForWindow(kRemote);
    ASSERT_NE(window, nullptr);
    const std::wstring s2Row = L"Talvex S2\t" + kS2Guid + L"\tWDM";
    const std::wstring cableRow = L"Talvex C/CI\t" + kCableGuid + L"\tWDM";
    tunersim::Plug(Box(kCableId, 1, 0x36, 1));
    ExpectContents(window, {{s2Row, cableRow}, L"2 tuners attached."});

    const HWND list = GetDlgItem(window, companion::kTunerListId);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(list, LB_SETCURSEL, 1, 0, SMTO_NORMAL, 5000, &result));
    const auto selection = [&] {
        DWORD_PTR index = 0;
        SendMessageTimeoutW(list, LB_GETCURSEL, 0, 0, SMTO_NORMAL, 5000, &index);
        return static_cast<LRESULT>(index);
    };
    ASSERT_EQ(selection(), 1);

    // The row before it goes: the selection moves up with its tuner.
    tunersim::Unplug(kS2Id);
    ExpectContents(window, {{cableRow}, L"1 tuner attached."});
    EXPECT_EQ(selection(), 0);
    // And down again when that row comes back in front of it.
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    ExpectContents(window, {{s2Row, cableRow}, L"2 tuners attached."});
    EXPECT_EQ(selection(), 1);
    // A selected tuner that goes leaves no selection behind.
    tunersim::Unplug(kCableId);
    ExpectContents(window, {{s2Row}, L"1 tuner attached."});
    EXPECT_EQ(selection(), LB_ERR);
    EndByDestroyMessage(process, window);
}

TEST_F(CompanionProcessTest, CiListsEveryAttachedTunerAndFollowsChanges) {
    // The library says which tuners have no slot (OB_GetTunerCapabilities); what a chosen
    // one holds, CiCompanionTest shows.
    const std::wstring choose = L" Choose a tuner to open its Common Interface.";
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    tunersim::Plug(Box(kSatvId, 1, 0x14, 0));
    auto process = CompanionProcess::Start(L"TalvexCI.exe", SW_SHOWNORMAL);
    const HWND window = process.WaitForWindow(kCi);
    ASSERT_NE(window, nullptr);
    ExpectContents(window, {{L"Talvex S2\t" + kS2Guid + L"\tWDM", L"Pellary SATV\t" + kSatvGuid + L"\tWDM (no CI slot)"},
                            L"2 tuners attached." + choose},
                   Order::Any);

    tunersim::Plug(Box(kCableId, 10, 0x24, 0, tunersim::kBda));
    ExpectContents(window, {{L"Talvex S2\t" + kS2Guid + L"\tWDM", L"Pellary SATV\t" + kSatvGuid + L"\tWDM (no CI slot)",
                             L"Ombrel DVB-C-CI\t" + kCableGuid + L"\tBDA"},
                            L"3 tuners attached." + choose},
                   Order::Any);
    tunersim::Unplug(kS2Id);
    tunersim::Unplug(kCableId);
    ExpectContents(window, {{L"Pellary SATV\t" + kSatvGuid + L"\tWDM (no CI slot)"}, L"1 tuner attached." + choose});
    tunersim::Unplug(kSatvId);
    ExpectContents(window, {{}, L"No tuner attached."});
    EndByDestroyMessage(process, window);
}

TEST_F(CompanionProcessTest, EachEndsOnDestroyMessageFromAnotherProcess) {
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.exe);
        auto process = CompanionProcess::Start(program.exe, SW_SHOWNORMAL);
        const HWND window = process.WaitForWindow(program.className);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitUntilStarted(window));
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(ReadContents(window).rows.size(), 1u);
        EndByDestroyMessage(process, window);
        EXPECT_TRUE(FindWindowsOfClass(program.className).empty());
    }
}

TEST_F(CompanionProcessTest, EachEndsWhenTheUserClosesIt) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.exe);
        auto process = CompanionProcess::Start(program.exe, SW_SHOWNORMAL);
        const HWND window = process.WaitForWindow(program.className);
        ASSERT_NE(window, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        DWORD exitCode = 1234;
        ASSERT_TRUE(process.WaitForExit(15s, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
}

TEST_F(CompanionProcessTest, EachStartsHiddenThroughTheShellAndStillWorks) {
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    const std::string exes[] = {"TalvexRemote.exe", "TalvexCI.exe"};
    for (size_t i = 0; i < std::size(exes); ++i) {
        SCOPED_TRACE(exes[i]);
        auto process = CompanionProcess::ShellOpenHidden(exes[i], kPrograms[i].className);
        ASSERT_TRUE(process.valid()) << "no window of the started program";
        const HWND window = process.WaitForWindow(kPrograms[i].className);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitUntilStarted(window));
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(ReadContents(window).rows.size(), 1u);
        // Hidden, it still hears of changes.
        tunersim::Plug(Box(kCableId, 1, 0x36, 0));
        EXPECT_TRUE(WaitFor([&] { return ReadContents(window).rows.size() == 2; }, 20s));
        tunersim::Unplug(kCableId);
        EXPECT_TRUE(WaitFor([&] { return ReadContents(window).rows.size() == 1; }, 20s));
        EndByDestroyMessage(process, window);
    }
}

TEST_F(CompanionProcessTest, BothRunTogetherAndAreEndedOneByOne) {
    tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
    auto remote = CompanionProcess::Start(L"TalvexRemote.exe", SW_SHOWNORMAL);
    auto ci = CompanionProcess::Start(L"TalvexCI.exe", SW_SHOWNORMAL);
    const HWND remoteWindow = remote.WaitForWindow(kRemote);
    const HWND ciWindow = ci.WaitForWindow(kCi);
    ASSERT_NE(remoteWindow, nullptr);
    ASSERT_NE(ciWindow, nullptr);
    // Each owns exactly one window of its class, so a search by class finds it once.
    EXPECT_EQ(FindWindowsOfClass(kRemote).size(), 1u);
    EXPECT_EQ(FindWindowsOfClass(kCi).size(), 1u);
    ExpectContents(remoteWindow, {{L"Talvex S2\t" + kS2Guid + L"\tWDM"}, L"1 tuner attached."});
    EndByDestroyMessage(remote, remoteWindow);
    // The other one is untouched and still follows changes.
    tunersim::Unplug(kS2Id);
    ExpectContents(ciWindow, {{}, L"No tuner attached."});
    EndByDestroyMessage(ci, ciWindow);
}

}  // namespace
}  // namespace companion_test
