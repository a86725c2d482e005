// The remote-control companion as a user drives it from another process: choose a tuner in
// the list, see the keys pressed on its remote arrive, choose another, see a tuner whose
// reader another program runs, and end the program, which stops its reader.
#include <gtest/gtest.h>

#include <windows.h>

#include <TunerSimControl.h>
#include <UiDriver.h>

#include "CompanionIds.h"
#include "CompanionProcess.h"
#include "RemoteIds.h"
#include "RemoteKeymap.h"
#include "SimulatedBox.h"

namespace companion_test {
namespace {

const std::wstring kRemote = companion::kRemoteClassName;
const std::string kS2Id = "0012345678abcdef";
const std::string kCableId = "0a0b0c0d0e0f1011";
const std::wstring kS2Row = L"Talvex S2\tefcdab7856341200\tWDM";
const std::wstring kCableRow = L"Talvex C/CI\t11100f0e0d0c0b0a\tWDM";
const std::wstring kChoose = L"Choose a tuner to read its remote control.";
const std::wstring kReadingS2 = L"Reading the remote control of Talvex S2 (efcdab7856341200).";
const std::wstring kReadingCable = L"Reading the remote control of Talvex C/CI (11100f0e0d0c0b0a).";

std::wstring Row(const char* keyName) {
    const keymap::Key* key = keymap::FindByName(keyName);
    wchar_t code[8];
    swprintf(code, std::size(code), L"0x%04X", key->code);
    return std::wstring(code) + L"\t" + uidriver::Widen(std::string(key->label));
}

// A running companion, its window, and what a user sees and does there.
class Companion {
public:
    Companion() : process_(CompanionProcess::Start(L"TalvexRemote.exe", SW_SHOWNORMAL)) {
        window_ = process_.WaitForWindow(kRemote);
    }
    HWND window() const { return window_; }
    const CompanionProcess& process() const { return process_; }

    std::vector<std::wstring> Tuners() const { return uidriver::ListBoxLines(GetDlgItem(window_, companion::kTunerListId)); }
    std::vector<std::wstring> Keys() const { return uidriver::ListBoxLines(GetDlgItem(window_, companion::kKeyListId)); }
    std::wstring ReaderLine() const { return uidriver::ControlText(window_, companion::kReaderLineId); }

    // Clicks the tuner's row once the list shows it.
    bool Choose(const std::wstring& row) const {
        return ChooseTunerRow(window_, [&](const std::wstring& listed) { return listed == row; });
    }
    bool ReaderLineIs(const std::wstring& text) const {
        return uidriver::WaitUntil([&] { return ReaderLine() == text; }, 20000);
    }
    bool KeysAre(const std::vector<std::wstring>& rows) const {
        return uidriver::WaitUntil([&] { return Keys() == rows; }, 20000);
    }

private:
    CompanionProcess process_;
    HWND window_ = nullptr;
};

bool ReaderWaitsOn(const std::string& id) {
    return uidriver::WaitUntil([&] { return tunersim::Remote(id).waitingReads == 1; }, 20000);
}
bool NoReaderOn(const std::string& id) {
    return uidriver::WaitUntil([&] { return tunersim::Remote(id).waitingReads == 0; }, 20000);
}

class RemoteCompanionTest : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset();
        ASSERT_TRUE(EndProcessesWithWindowOfClass(kRemote));
        tunersim::Plug(Box(kS2Id, 1, 0x34, 4));
        tunersim::Plug(Box(kCableId, 1, 0x36, 1));
    }
    void TearDown() override { tunersim::Reset(false); }
};

TEST_F(RemoteCompanionTest, ShowsTheKeysOfTheChosenTunerAsTheyArriveAndStopsItsReaderAtTheEnd) {
    Companion user;
    ASSERT_NE(user.window(), nullptr);
    ASSERT_TRUE(user.ReaderLineIs(kChoose));
    EXPECT_TRUE(user.Keys().empty());

    ASSERT_TRUE(user.Choose(kS2Row));
    ASSERT_TRUE(user.ReaderLineIs(kReadingS2));
    ASSERT_TRUE(ReaderWaitsOn(kS2Id));
    tunersim::PressKeys(kS2Id, {keymap::FindByName("1")->code, keymap::FindByName("ok")->code,
                                keymap::FindByName("vol+")->code, 0x1234});
    EXPECT_TRUE(user.KeysAre({Row("1"), Row("ok"), Row("vol+"), L"0x1234\t(unknown key)"})) << user.Keys().size();

    // Another tuner: the first one's reader stops, the list starts anew.
    ASSERT_TRUE(user.Choose(kCableRow));
    ASSERT_TRUE(user.ReaderLineIs(kReadingCable));
    ASSERT_TRUE(ReaderWaitsOn(kCableId));
    EXPECT_EQ(tunersim::Remote(kS2Id).waitingReads, 0u);
    EXPECT_TRUE(user.Keys().empty());
    tunersim::PressKey(kS2Id, keymap::FindByName("2")->code);  // nobody reads it now
    tunersim::PressKey(kCableId, keymap::FindByName("ch+")->code);
    EXPECT_TRUE(user.KeysAre({Row("ch+")}));
    EXPECT_EQ(tunersim::Remote(kS2Id).queued, 1u);

    // Tuners come and go: the reader stays with the chosen tuner, and so do its keys.
    tunersim::Plug(Box("00000000000012ab", 1, 0x14, 0));
    ASSERT_TRUE(uidriver::WaitUntil([&] { return user.Tuners().size() == 3; }, 20000));
    ASSERT_TRUE(ReaderWaitsOn(kCableId));
    tunersim::PressKey(kCableId, keymap::FindByName("ch-")->code);
    EXPECT_TRUE(user.KeysAre({Row("ch+"), Row("ch-")}));
    EXPECT_EQ(user.ReaderLine(), kReadingCable);

    // Ended as Romflux ends it: WM_DESTROY from another process; the reader stops with it.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(user.window(), WM_DESTROY, 0, 0, SMTO_NORMAL, 10000, &result));
    DWORD exitCode = 1234;
    ASSERT_TRUE(user.process().WaitForExit(15s, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(NoReaderOn(kCableId));
    // Stopped twice, each time out of a waiting read: for the new reading, and at the end.
    EXPECT_EQ(tunersim::Remote(kCableId).releasedReads, 2u);
    EXPECT_FALSE(tunersim::Remote(kCableId).cancelPending);
}

TEST_F(RemoteCompanionTest, ATunerWhoseReaderAnotherProgramRunsSaysSoUntilItIsFree) {
    Companion first;
    Companion second;
    ASSERT_NE(first.window(), nullptr);
    ASSERT_NE(second.window(), nullptr);
    ASSERT_TRUE(first.Choose(kS2Row));
    ASSERT_TRUE(first.ReaderLineIs(kReadingS2));
    ASSERT_TRUE(second.Choose(kS2Row));
    EXPECT_TRUE(second.ReaderLineIs(L"The remote control of Talvex S2 (efcdab7856341200) is in use by another program."));

    tunersim::PressKey(kS2Id, keymap::FindByName("menu")->code);
    EXPECT_TRUE(first.KeysAre({Row("menu")}));
    EXPECT_TRUE(second.Keys().empty());

    // The user closes the first program; the tuner is free for the second.
    uidriver::RequestClose(first.window());
    ASSERT_TRUE(first.process().WaitForExit(15s));
    ASSERT_TRUE(NoReaderOn(kS2Id));
    ASSERT_TRUE(second.Choose(kS2Row));
    ASSERT_TRUE(second.ReaderLineIs(kReadingS2));
    tunersim::PressKey(kS2Id, keymap::FindByName("power")->code);
    EXPECT_TRUE(second.KeysAre({Row("power")}));

    uidriver::RequestClose(second.window());
    ASSERT_TRUE(second.process().WaitForExit(15s));
    EXPECT_TRUE(NoReaderOn(kS2Id));
}

}  // namespace
}  // namespace companion_test
