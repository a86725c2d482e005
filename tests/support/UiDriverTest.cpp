// The driver against a real program in another process (ui_helper.exe's fixture dialog).
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

#include "UiDriver.h"
#include "UiHelper.h"

using namespace uidriver;

namespace {

constexpr DWORD kWait = 10000;

std::wstring Helper() { return BinDirectory() + L"ui_helper.exe"; }

class FixtureDialog : public ::testing::Test {
protected:
    void SetUp() override {
        process = Process::Launch(Helper(), L"dialog");
        dialog = WaitForTopLevelWindow(process.Id(), L"#32770", UIHELPER_CAPTION, kWait);
        ASSERT_NE(dialog, nullptr) << "fixture dialog did not appear";
    }
    Process process;
    HWND dialog = nullptr;
};

}  // namespace

TEST_F(FixtureDialog, ReadsComboLinesWideAndSelectsWithNotification) {
    HWND combo = Control(dialog, UIHELPER_COMBO);
    EXPECT_EQ(ComboLines(combo),
              (std::vector<std::wstring>{L"alpha", L"Bravo", L"Charlie", L"Z\u00FCrich"}));
    EXPECT_EQ(ComboSelection(combo), -1);
    EXPECT_EQ(ComboSelectedText(combo), L"");

    ASSERT_TRUE(SelectComboLine(combo, 1));
    EXPECT_EQ(ComboSelection(combo), 1);
    EXPECT_EQ(ComboSelectedText(combo), L"Bravo");
    // The parent was told: its handler copied the line into the echo text.
    EXPECT_EQ(ControlText(dialog, UIHELPER_ECHO), L"Bravo");

    EXPECT_FALSE(SelectComboLine(combo, 9));
    EXPECT_EQ(ControlText(dialog, UIHELPER_ECHO), L"Bravo");
}

TEST_F(FixtureDialog, ReadsListBoxTextsAndStates) {
    EXPECT_EQ(ListBoxLines(Control(dialog, UIHELPER_LIST)),
              (std::vector<std::wstring>{L" one", L" three", L" two"}));
    EXPECT_EQ(WindowText(dialog), UIHELPER_CAPTION);
    EXPECT_EQ(ControlText(dialog, UIHELPER_ECHO), L"start");
    EXPECT_EQ(ControlText(dialog, 9999), L"");
    EXPECT_TRUE(IsEnabled(Control(dialog, UIHELPER_SHOW_BOX)));
    EXPECT_FALSE(IsEnabled(Control(dialog, UIHELPER_DISABLED)));
    EXPECT_EQ(WindowProcessId(dialog), process.Id());
}

TEST_F(FixtureDialog, ClicksMoveTheProgressBar) {
    HWND bar = Control(dialog, UIHELPER_PROGRESS);
    EXPECT_EQ(ProgressRange(bar), std::make_optional(std::make_pair(0, 100)));
    EXPECT_EQ(ProgressPosition(bar), 0);
    ClickButton(Control(dialog, UIHELPER_ADVANCE));
    ClickButton(Control(dialog, UIHELPER_ADVANCE));
    EXPECT_TRUE(WaitUntil([&] { return ProgressPosition(bar) == 50; }, kWait))
        << "position " << ProgressPosition(bar).value_or(-1);
}

TEST_F(FixtureDialog, FindsReadsAndAnswersAMessageBox) {
    EXPECT_EQ(FindMessageBox(process.Id(), dialog), nullptr) << "the main dialog is no message box";
    ClickButton(Control(dialog, UIHELPER_SHOW_BOX));
    HWND box = WaitForMessageBox(process.Id(), dialog, kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), UIHELPER_BOX_TEXT);
    EXPECT_EQ(MessageBoxCaption(box), UIHELPER_BOX_CAPTION);
    EXPECT_EQ(MessageBoxes(process.Id(), dialog).size(), 1u);
    // The program waits inside the box until it is answered.
    EXPECT_EQ(ControlText(dialog, UIHELPER_ECHO), L"start");

    ASSERT_TRUE(PressOk(box));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(dialog, UIHELPER_ECHO) == UIHELPER_ACKNOWLEDGED; },
                          kWait));
    EXPECT_EQ(FindMessageBox(process.Id(), dialog), nullptr);
}

TEST_F(FixtureDialog, ClosingEndsTheProcessWithItsExitCode) {
    RequestClose(dialog);
    EXPECT_EQ(process.WaitForExit(kWait), std::make_optional<DWORD>(7));
    EXPECT_FALSE(process.IsRunning());
}

TEST(UiDriverProcess, DestroyingTheObjectEndsTheProgram) {
    const wchar_t* kClass = L"UiDriver Test Window A";
    DWORD id = 0;
    {
        Process window = Process::Launch(Helper(), std::wstring(L"window \"") + kClass + L"\"");
        id = window.Id();
        ASSERT_NE(WaitForTopLevelWindow(id, kClass, nullptr, kWait), nullptr);
        EXPECT_EQ(WindowsOfClass(kClass).size(), 1u);
        EXPECT_TRUE(window.IsRunning());
    }
    EXPECT_TRUE(WaitUntil([&] { return WindowsOfClass(kClass).empty(); }, kWait));
}

TEST(UiDriverProcess, StartFailureIsReported) {
    EXPECT_THROW(Process::Launch(BinDirectory() + L"no-such-program.exe"), std::runtime_error);
    Process none;
    EXPECT_FALSE(none.Valid());
    EXPECT_EQ(none.WaitForExit(10), std::nullopt);
}

TEST(UiDriverProcess, ClassCaptionAndWorkingDirectoryAreMatchedExactly) {
    const wchar_t* kClass = L"UiDriver Test Window B";
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring directory(temp);
    if (directory.size() > 3 && directory.back() == L'\\') directory.pop_back();
    Process window = Process::Launch(Helper(), std::wstring(L"window \"") + kClass + L"\"", directory);
    HWND found = WaitForTopLevelWindow(window.Id(), kClass, nullptr, kWait);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(WindowClassName(found), kClass);
    std::wstring caption = WindowText(found);
    EXPECT_EQ(caption, L"cwd=" + directory + L"|show=-1");
    EXPECT_EQ(FindTopLevelWindow(window.Id(), kClass, caption.c_str()), found);
    EXPECT_EQ(FindTopLevelWindow(window.Id(), kClass, L"other caption"), nullptr);
    EXPECT_EQ(FindTopLevelWindow(window.Id(), L"UiDriver Test Window", nullptr), nullptr);
    EXPECT_EQ(FindTopLevelWindow(window.Id() + 4, kClass, nullptr), nullptr);
}

TEST(UiDriverWaiting, WaitsPumpTheCallersMessages) {
    // A timer of the test's own thread only fires while the wait pumps messages.
    static bool fired = false;
    fired = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { fired = true; });
    ASSERT_NE(timer, 0u);
    EXPECT_TRUE(WaitUntil([] { return fired; }, kWait));
    KillTimer(nullptr, timer);

    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(WaitUntil([] { return false; }, 100));
    EXPECT_GE(GetTickCount64() - start, 90u);
}
