// Whole update runs through the real Romflux.exe, OmbrelApi.dll and the simulated
// tuner, with the real companion programs around them, driven as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TunerSimControl.h"
#include "UiDriver.h"
#include "UpdatePoll.h"

using namespace uidriver;

namespace {

constexpr DWORD kWait = 15000;
constexpr const wchar_t* kMainCaption = L"Talvex Firmware Update";
constexpr const wchar_t* kRemote = L"Talvex Remote Control";
constexpr const wchar_t* kCi = L"Talvex Common Interface";
constexpr int kTunerList = 1001;
constexpr int kUpdateButton = 1004;
constexpr int kProgress = 1005;
constexpr const char* kId = "00c0ffee00000001";
constexpr uint32_t kImageSize = 368754;

// A poll period is 400 ms; this covers several of them.
constexpr DWORD kQuietPeriod = 1500;

std::wstring Text(const char* text) { return Widen(text); }

bool NoCompanionWindows() { return WindowsOfClass(kRemote).empty() && WindowsOfClass(kCi).empty(); }
bool BothCompanionWindows() { return !WindowsOfClass(kRemote).empty() && !WindowsOfClass(kCi).empty(); }

void EndStrayCompanions() {
    for (const wchar_t* name : {kRemote, kCi}) EndOwnersOfWindowsOfClass(name, kWait);
}

ULONGLONG CreationTime(HWND window) { return ProcessCreationTime(WindowProcessId(window)); }

class RomfluxRun : public ::testing::Test {
protected:
    void SetUp() override {
        EndStrayCompanions();
        tunersim::Reset();
        tunersim::EnsureFilterRegistered();
        tunersim::DeviceProfile profile = tunersim::Preset("talvex-s2");  // image FW_013404
        profile.id = kId;
        profile.models = tunersim::kWdm;
        tunersim::Plug(profile, false);
        // Long hold: the box does not reboot while a test looks at the end of a run.
        tunersim::SetUpdateTiming(kId, 1600, 60000);

        app = Process::Launch(BinDirectory() + L"Romflux.exe", L"", BinDirectory());
        dialog = WaitForTopLevelWindow(app.Id(), L"#32770", kMainCaption, kWait);
        ASSERT_NE(dialog, nullptr) << "Romflux's dialog did not appear";
        button = Control(dialog, kUpdateButton);
        bar = Control(dialog, kProgress);
        ASSERT_TRUE(WaitUntil([&] { return ComboLines(Control(dialog, kTunerList)).size() == 1 &&
                                           IsEnabled(button); },
                              kWait))
            << "the tuner was not listed with an update";
    }

    void TearDown() override {
        if (app.IsRunning()) {
            for (HWND box : MessageBoxes(app.Id(), dialog)) PressOk(box, 2000);
            RequestClose(dialog);
            if (!app.WaitForExit(5000)) app.Kill();
        }
        tunersim::Reset();
        EndStrayCompanions();
    }

    bool HaveRealCompanions() const {
        const std::wstring tools = BinDirectory() + L"Tools\\";
        return GetFileAttributesW((tools + L"TalvexRemote.exe").c_str()) != INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesW((tools + L"TalvexCI.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Starts both companion programs from bin\Tools and waits for their windows.
    void StartCompanions() {
        const std::wstring tools = BinDirectory() + L"Tools\\";
        remote = Process::Launch(tools + L"TalvexRemote.exe", L"", tools);
        ci = Process::Launch(tools + L"TalvexCI.exe", L"", tools);
        ASSERT_NE(WaitForTopLevelWindow(remote.Id(), kRemote, nullptr, kWait), nullptr);
        ASSERT_NE(WaitForTopLevelWindow(ci.Id(), kCi, nullptr, kWait), nullptr);
    }

    // The companions that the test started have ended (Romflux told them to).
    ::testing::AssertionResult CompanionsEnded() {
        if (!remote.WaitForExit(kWait)) return ::testing::AssertionFailure() << "remote control still runs";
        if (!ci.WaitForExit(kWait)) return ::testing::AssertionFailure() << "CI program still runs";
        return ::testing::AssertionSuccess();
    }

    // Clicks Update (unless the run is already going) and follows the bar until a
    // message box opens; positions seen on the way.
    HWND RunUntilBox(std::vector<int>* positions = nullptr, bool click = true) {
        if (click) ClickButton(button);
        HWND box = nullptr;
        WaitUntil(
            [&] {
                if (positions) {
                    if (auto position = ProgressPosition(bar)) {
                        if (positions->empty() || positions->back() != *position) positions->push_back(*position);
                    }
                }
                return (box = FindMessageBox(app.Id(), dialog)) != nullptr;
            },
            kWait, 10);
        return box;
    }

    int Bar() const { return ProgressPosition(bar).value_or(-1); }

    // After a box was answered: no further box opens (the timer is stopped).
    ::testing::AssertionResult StaysQuiet() {
        PumpFor(kQuietPeriod);
        if (HWND box = FindMessageBox(app.Id(), dialog)) {
            return ::testing::AssertionFailure() << "another box: " << Narrow(MessageBoxText(box));
        }
        return ::testing::AssertionSuccess();
    }

    Process app;
    Process remote;
    Process ci;
    HWND dialog = nullptr;
    HWND button = nullptr;
    HWND bar = nullptr;
};

}  // namespace

TEST_F(RomfluxRun, SuccessfulRunMovesTheBarThenResetsIt) {
    std::vector<int> positions;
    HWND box = RunUntilBox(&positions);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(MessageBoxText(box), Text(romflux::kUpdateSucceededText));
    EXPECT_EQ(MessageBoxCaption(box), L"Romflux");
    EXPECT_EQ(ProgressRange(bar), std::make_optional(std::make_pair(0, 100)));
    // The bar rose through intermediate values and shows 100 while the box is open.
    EXPECT_EQ(Bar(), 100);
    bool intermediate = false;
    for (size_t i = 0; i < positions.size(); ++i) {
        if (positions[i] > 0 && positions[i] < 100) intermediate = true;
        if (i > 0) {
            EXPECT_GE(positions[i], positions[i - 1]) << "the bar went back";
        }
    }
    EXPECT_TRUE(intermediate) << "no progress shown between 0 and 100";

    // The whole image went to the tuner, once.
    tunersim::ImageReceipt receipt = tunersim::LastImage(kId);
    EXPECT_EQ(receipt.count, 1u);
    EXPECT_EQ(receipt.length, kImageSize);

    ASSERT_TRUE(PressOk(box));
    EXPECT_TRUE(WaitUntil([&] { return Bar() == 0; }, kWait)) << "bar at " << Bar();
    EXPECT_TRUE(StaysQuiet());
    // No companion was running, so none is started.
    EXPECT_TRUE(NoCompanionWindows());
}

TEST_F(RomfluxRun, BarFollowsTheReportedProgressExactly) {
    tunersim::ScriptUpdate(kId, {tunersim::ScriptKind::Stall, 37});
    ClickButton(button);
    ASSERT_TRUE(WaitUntil([&] { return Bar() == 37; }, kWait)) << "bar at " << Bar();
    // Still running: polls go on, the bar stays, no box.
    const uint32_t polls = tunersim::Requests(kId, 18).gets;
    EXPECT_TRUE(WaitUntil([&] { return tunersim::Requests(kId, 18).gets >= polls + 2; }, kWait))
        << "the poll timer stopped";
    EXPECT_EQ(Bar(), 37);
    EXPECT_EQ(FindMessageBox(app.Id(), dialog), nullptr);
}

TEST_F(RomfluxRun, EachErrorCodeEndsTheRunWithItsText) {
    struct Case {
        uint8_t errorCode;
        uint8_t state;
        uint8_t percent;
    };
    for (Case c : {Case{2, 8, 20}, Case{4, 8, 25}, Case{5, 10, 30}, Case{9, 10, 60}, Case{3, 8, 15}}) {
        SCOPED_TRACE(testing::Message() << "error code " << int(c.errorCode) << ", state " << int(c.state));
        tunersim::ScriptUpdate(kId, {tunersim::ScriptKind::Fail, c.percent, c.errorCode, c.state});
        HWND box = RunUntilBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), Text(romflux::UpdateErrorText(c.errorCode)));
        EXPECT_EQ(MessageBoxCaption(box), L"Romflux");
        EXPECT_EQ(Bar(), c.percent);
        ASSERT_TRUE(PressOk(box));
        // A failure keeps the bar where it stopped, and the run is over.
        EXPECT_EQ(Bar(), c.percent);
        EXPECT_TRUE(StaysQuiet());
    }
    EXPECT_EQ(std::string(romflux::UpdateErrorText(3)), "An error occured while updating the firmware");
}

TEST_F(RomfluxRun, RefusedStartShowsTheErrorAndStartsNoPolling) {
    if (!HaveRealCompanions()) GTEST_SKIP() << "companion programs are not built";
    StartCompanions();
    tunersim::InjectFault(kId, 17, tunersim::Direction::Set, {tunersim::FaultKind::Fail});
    HWND box = RunUntilBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"Error calling Ombrel Firmware update");
    // The companions were ended before the library was called.
    EXPECT_TRUE(CompanionsEnded());
    ASSERT_TRUE(PressOk(box));
    EXPECT_TRUE(StaysQuiet());
    EXPECT_EQ(tunersim::Requests(kId, 18).gets, 0u) << "the status was polled";
    EXPECT_EQ(tunersim::LastImage(kId).count, 0u);
    EXPECT_EQ(Bar(), 0);
    // ... and they are not started again.
    EXPECT_TRUE(NoCompanionWindows());
}

TEST_F(RomfluxRun, UnpluggedMidRunReportsDetachedOnceAndRestartsNothing) {
    if (!HaveRealCompanions()) GTEST_SKIP() << "companion programs are not built";
    StartCompanions();
    tunersim::SetUpdateTiming(kId, 4000, 60000);
    tunersim::ScriptUpdate(kId, {tunersim::ScriptKind::Vanish, 30});
    HWND box = RunUntilBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), Text(romflux::kUpdateDetachedText));
    EXPECT_EQ(MessageBoxes(app.Id(), dialog).size(), 1u);
    EXPECT_TRUE(CompanionsEnded());
    ASSERT_TRUE(PressOk(box));
    EXPECT_TRUE(StaysQuiet());
    EXPECT_TRUE(NoCompanionWindows());
    // The box left the list; Romflux is still alive and usable.
    EXPECT_TRUE(WaitUntil([&] { return ComboLines(Control(dialog, kTunerList)).empty(); }, kWait));
    EXPECT_TRUE(app.IsRunning());
}

TEST_F(RomfluxRun, OnFailureCompanionsAreBackBeforeTheBox) {
    if (!HaveRealCompanions()) GTEST_SKIP() << "companion programs are not built";
    StartCompanions();
    tunersim::ScriptUpdate(kId, {tunersim::ScriptKind::Fail, 60, 9, 10});
    HWND box = RunUntilBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), Text(romflux::UpdateErrorText(9)));
    EXPECT_EQ(Bar(), 60);
    EXPECT_TRUE(CompanionsEnded());
    // Started again while the box is still open.
    EXPECT_TRUE(WaitUntil(BothCompanionWindows, kWait)) << "companions not restarted before the box closed";
    EXPECT_TRUE(IsWindow(box));
    ASSERT_TRUE(PressOk(box));
    EXPECT_EQ(WindowsOfClass(kRemote).size(), 1u);
    EXPECT_EQ(WindowsOfClass(kCi).size(), 1u);
}

TEST_F(RomfluxRun, OnSuccessCompanionsComeBackAfterTheBoxRemoteFirst) {
    if (!HaveRealCompanions()) GTEST_SKIP() << "companion programs are not built";
    StartCompanions();
    HWND box = RunUntilBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), Text(romflux::kUpdateSucceededText));
    EXPECT_TRUE(CompanionsEnded());
    // Not while the box is open...
    PumpFor(kQuietPeriod);
    EXPECT_TRUE(NoCompanionWindows()) << "companions restarted before the box was closed";
    ASSERT_TRUE(PressOk(box));
    // ... but once it is closed: both, the remote control first.
    ASSERT_TRUE(WaitUntil(BothCompanionWindows, kWait));
    EXPECT_EQ(WindowsOfClass(kRemote).size(), 1u);
    EXPECT_EQ(WindowsOfClass(kCi).size(), 1u);
    EXPECT_LT(CreationTime(WindowsOfClass(kRemote).front()), CreationTime(WindowsOfClass(kCi).front()));
    EXPECT_EQ(Bar(), 0);
}

TEST_F(RomfluxRun, SecondPressDuringARunRestartsNothingAtItsEnd) {
    if (!HaveRealCompanions()) GTEST_SKIP() << "companion programs are not built";
    StartCompanions();
    tunersim::SetUpdateTiming(kId, 3000, 60000);
    ClickButton(button);
    ASSERT_TRUE(CompanionsEnded());
    ASSERT_TRUE(WaitUntil([&] { return Bar() > 0; }, kWait)) << "the first run did not start";
    ASSERT_EQ(FindMessageBox(app.Id(), dialog), nullptr);

    // The second press sends the image again and finds no companion.
    HWND box = RunUntilBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(tunersim::LastImage(kId).count, 2u);
    EXPECT_EQ(MessageBoxText(box), Text(romflux::kUpdateSucceededText));
    EXPECT_EQ(MessageBoxes(app.Id(), dialog).size(), 1u);
    ASSERT_TRUE(PressOk(box));
    EXPECT_TRUE(StaysQuiet());
    EXPECT_TRUE(NoCompanionWindows()) << "a companion was started although the last search found none";
}

TEST_F(RomfluxRun, ARebuildDuringTheRunKeepsWatchingTheTuner) {
    tunersim::SetUpdateTiming(kId, 3000, 60000);
    ClickButton(button);
    ASSERT_TRUE(WaitUntil([&] { return Bar() > 0; }, kWait)) << "the run did not start";
    // Another box arrives: Romflux rebuilds its list while the update runs.
    tunersim::DeviceProfile other = tunersim::Preset("talvex-s2");
    other.id = "00c0ffee00000002";
    other.models = tunersim::kWdm;
    tunersim::Plug(other, true);
    ASSERT_TRUE(WaitUntil([&] { return ComboLines(Control(dialog, kTunerList)).size() == 2; }, kWait));
    HWND box = RunUntilBox(nullptr, false);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), Text(romflux::kUpdateSucceededText));
    EXPECT_EQ(tunersim::LastImage(kId).count, 1u);
    EXPECT_EQ(tunersim::LastImage(other.id).count, 0u);
    ASSERT_TRUE(PressOk(box));
    EXPECT_TRUE(StaysQuiet());
}

TEST_F(RomfluxRun, ClosingTheWindowDuringARunEndsTheProgram) {
    tunersim::SetUpdateTiming(kId, 5000, 60000);
    ClickButton(button);
    ASSERT_TRUE(WaitUntil([&] { return Bar() > 0; }, kWait)) << "the run did not start";
    RequestClose(dialog);
    EXPECT_TRUE(app.WaitForExit(kWait).has_value()) << "Romflux did not end during the run";
    EXPECT_TRUE(MessageBoxes(app.Id(), nullptr).empty());
}
