// The Common Interface companion driven from another process as a user would: choose a
// tuner, watch the module arrive, walk its menus, answer its enquiries, and end the
// program as Romflux does; a tuner without a slot, and one that another program uses.
#include <gtest/gtest.h>

#include <windows.h>

#include <SharedFlags.h>
#include <TunerSimControl.h>
#include <UiDriver.h>

#include "CiControls.h"
#include "CompanionIds.h"
#include "CompanionProcess.h"
#include "SimulatedBox.h"

namespace companion_test {
namespace {

namespace ids = companion::ci;

const std::wstring kCi = companion::kCiClassName;
const std::string kCableId = "0a0b0c0d0e0f1011";  // Talvex C/CI: a slot
const std::string kPlainId = "00000000000012ab";  // Pellary SATV: none
constexpr DWORD kWaitMs = 20000;

std::string DisplayNameOf(const std::string& id) { return tunersim::Find(id)->displayNames.front(); }

// The companion's window and what a user sees and does in it.
class CiWindow {
public:
    explicit CiWindow(HWND window) : window_(window) {}
    HWND hwnd() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    std::wstring Text(int id) const { return uidriver::ControlText(window_, id); }
    std::vector<std::wstring> Entries() const { return uidriver::ListBoxLines(Control(ids::kEntriesId)); }
    bool WaitForText(int id, const std::wstring& text) const {
        return uidriver::WaitUntil([&] { return Text(id) == text; }, kWaitMs);
    }
    bool WaitForEnabled(int id, bool enabled = true) const {
        return uidriver::WaitUntil([&] { return uidriver::IsEnabled(Control(id)) == enabled; }, kWaitMs);
    }
    // Chooses the tuner whose row begins with `model`.
    bool ChooseTuner(const std::wstring& model) const {
        return ChooseTunerRow(
            window_, [&](const std::wstring& row) { return row.rfind(model, 0) == 0; },
            std::chrono::milliseconds(kWaitMs));
    }
    void Click(int id) const { uidriver::ClickButton(Control(id)); }
    // Chooses an entry of the menu on screen and confirms it.
    bool Choose(int entry) const {
        if (!uidriver::SelectListBoxLine(Control(ids::kEntriesId), entry)) return false;
        Click(ids::kOkId);
        return true;
    }
    bool Answer(const std::wstring& text) const {
        if (!uidriver::SetControlText(Control(ids::kAnswerId), text)) return false;
        Click(ids::kOkId);
        return true;
    }
    wchar_t PasswordChar() const {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(Control(ids::kAnswerId), EM_GETPASSWORDCHAR, 0, 0, SMTO_NORMAL, 5000, &result);
        return static_cast<wchar_t>(result);
    }

private:
    HWND window_;
};

class CiCompanionTest : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset();
        ASSERT_TRUE(EndProcessesWithWindowOfClass(kCi));
        tunersim::Plug(Box(kCableId, 1, 0x36, 1));
        tunersim::Plug(Box(kPlainId, 1, 0x14, 0));
    }
    void TearDown() override {
        EndProcessesWithWindowOfClass(kCi);
        tunersim::Reset(false);
    }

    // A started companion that lists both tuners, with the tuner of `model` chosen when
    // one is given. Null when it did not get there.
    static HWND Started(CompanionProcess& process, const std::wstring& model = L"") {
        process = CompanionProcess::Start(L"TalvexCI.exe", SW_SHOWNORMAL);
        const HWND window = process.WaitForWindow(kCi);
        if (!window || !uidriver::WaitUntil([&] { return ReadContents(window).rows.size() == 2; }, kWaitMs))
            return nullptr;
        return model.empty() || CiWindow(window).ChooseTuner(model) ? window : nullptr;
    }

    testsupport::SharedFlags flags_;
};

TEST_F(CiCompanionTest, WalksTheModulesMenusAndEndsItsSessionWhenRomfluxEndsIt) {
    CompanionProcess process;
    const HWND hwnd = Started(process);
    ASSERT_NE(hwnd, nullptr);
    const CiWindow ci(hwnd);  // nothing chosen yet
    EXPECT_EQ(ci.Text(companion::kStatusId), L"2 tuners attached. Choose a tuner to open its Common Interface.");
    EXPECT_EQ(ci.Text(ids::kSessionTextId), L"Choose a tuner to open its Common Interface.");

    ASSERT_TRUE(ci.ChooseTuner(L"Talvex C/CI"));
    EXPECT_TRUE(ci.WaitForText(ids::kSessionTextId, L"Talvex C/CI 11100f0e0d0c0b0a: Common Interface session open."));
    EXPECT_EQ(ci.Text(ids::kModuleTextId), L"No module in the slot.");
    EXPECT_EQ(flags_.Ci(DisplayNameOf(kCableId)), 1);
    EXPECT_FALSE(uidriver::IsEnabled(ci.Control(ids::kEnterMenuId)));

    // The module arrives and becomes ready; its application information is shown.
    tunersim::InsertModule(kCableId);
    EXPECT_TRUE(ci.WaitForText(ids::kModuleTextId, L"Module inserted, starting up..."));
    tunersim::ReadyModule(kCableId);
    EXPECT_TRUE(ci.WaitForText(ids::kModuleTextId, L"Module ready: Kestrel CAM (manufacturer 0x4B45, code 0x0241)."));
    ASSERT_TRUE(ci.WaitForEnabled(ids::kEnterMenuId));

    // The main menu; the long subscription list and back.
    ci.Click(ids::kEnterMenuId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Kestrel Conditional Access"));
    EXPECT_EQ(ci.Text(ids::kSubtitleId), L"Main menu");
    EXPECT_EQ(ci.Text(ids::kBottomId), L"Choose an entry");
    EXPECT_EQ(ci.Entries(), (std::vector<std::wstring>{L"Module information", L"Subscriptions", L"Parental control",
                                                        L"Language"}));
    ASSERT_TRUE(ci.Choose(1));
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Subscriptions"));
    EXPECT_EQ(ci.Entries().size(), 14u);
    EXPECT_EQ(ci.Entries().front(), L"Service 101  Kestrel One  until 2031-12-31");
    ci.Click(ids::kOkId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Kestrel Conditional Access"));

    // A blind enquiry: the PIN, wrong and then right.
    ASSERT_TRUE(ci.Choose(2));
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Enter the parental PIN (4 digits)"));
    EXPECT_TRUE(uidriver::IsVisible(ci.Control(ids::kAnswerId)));
    EXPECT_FALSE(uidriver::IsVisible(ci.Control(ids::kEntriesId)));
    EXPECT_EQ(ci.PasswordChar(), L'*');
    ASSERT_TRUE(ci.Answer(L"9999"));
    ASSERT_TRUE(ci.WaitForText(ids::kSubtitleId, L"Wrong PIN"));
    ci.Click(ids::kOkId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Enter the parental PIN (4 digits)"));
    ASSERT_TRUE(ci.Answer(L"1234"));
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Parental control"));
    EXPECT_EQ(tunersim::CommonInterface(kCableId).lastAnswer, "1234");
    ASSERT_TRUE(ci.Choose(1));
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] { return ci.Entries() == std::vector<std::wstring>{L"Maturity rating set to 16 years."}; }, kWaitMs));
    EXPECT_EQ(tunersim::CommonInterface(kCableId).rating, 16);
    ci.Click(ids::kBackId);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return ci.Entries().size() == 3; }, kWaitMs));
    EXPECT_EQ(ci.Entries()[1], L"From 16 years (set)");
    ci.Click(ids::kBackId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Kestrel Conditional Access"));

    // A visible enquiry, cancelled once, then answered.
    ASSERT_TRUE(ci.Choose(3));
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Enter a menu language (3 letters)"));
    EXPECT_EQ(ci.PasswordChar(), L'\0');
    ci.Click(ids::kBackId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Kestrel Conditional Access"));
    ASSERT_TRUE(ci.Choose(3));
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Enter a menu language (3 letters)"));
    ASSERT_TRUE(ci.Answer(L"deu"));
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] { return ci.Entries() == std::vector<std::wstring>{L"Menu language set to \"deu\"."}; }, kWaitMs));

    // Closed by the user.
    ci.Click(ids::kCloseMenuId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L""));
    EXPECT_TRUE(ci.WaitForEnabled(ids::kCloseMenuId, false));
    const tunersim::ModuleReport report = tunersim::CommonInterface(kCableId);
    EXPECT_EQ(report.screen, "");
    EXPECT_EQ(report.mmiCloses, 1u);
    EXPECT_EQ(report.enquiryAnswers, 4u);

    // Pending events and the module's going.
    tunersim::SetModuleEvents(kCableId, 0x0100);
    EXPECT_TRUE(ci.WaitForText(ids::kEventTextId, L"The module reports event 0x0100."));
    tunersim::SetModuleEvents(kCableId, 0);
    tunersim::RemoveModule(kCableId);
    EXPECT_TRUE(ci.WaitForText(ids::kModuleTextId, L"No module in the slot."));
    EXPECT_TRUE(ci.WaitForEnabled(ids::kEnterMenuId, false));

    // Romflux's way to end it: WM_DESTROY from another process. The session goes with it.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(hwnd, WM_DESTROY, 0, 0, SMTO_NORMAL, 10000, &result));
    EXPECT_EQ(flags_.Ci(DisplayNameOf(kCableId)), 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(process.WaitForExit(15s, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    const std::uint32_t polls = tunersim::Requests(kCableId, 28).gets;
    uidriver::PumpFor(400);
    EXPECT_EQ(tunersim::Requests(kCableId, 28).gets, polls);
}

TEST_F(CiCompanionTest, SaysWhenATunerHasNoSlotOrAnotherProgramUsesIt) {
    tunersim::ReadyModule(kCableId);
    CompanionProcess first;
    const CiWindow one(Started(first, L"Pellary SATV"));
    ASSERT_NE(one.hwnd(), nullptr);
    EXPECT_TRUE(one.WaitForText(ids::kSessionTextId, L"Pellary SATV ab12000000000000: This tuner has no Common "
                                                     L"Interface slot."));
    EXPECT_EQ(one.Text(ids::kModuleTextId), L"");
    EXPECT_FALSE(uidriver::IsEnabled(one.Control(ids::kEnterMenuId)));

    ASSERT_TRUE(one.ChooseTuner(L"Talvex C/CI"));
    ASSERT_TRUE(one.WaitForEnabled(ids::kEnterMenuId));  // ready from the first poll

    CompanionProcess second;
    const CiWindow two(Started(second, L"Talvex C/CI"));
    ASSERT_NE(two.hwnd(), nullptr);
    EXPECT_TRUE(two.WaitForText(ids::kSessionTextId, L"Talvex C/CI 11100f0e0d0c0b0a: Another program is using "
                                                     L"this tuner's Common Interface."));

    // The first one moves to the other tuner: its session is closed, the second may open it.
    ASSERT_TRUE(one.ChooseTuner(L"Pellary SATV"));
    ASSERT_TRUE(uidriver::WaitUntil([&] { return flags_.Ci(DisplayNameOf(kCableId)) == 0; }, kWaitMs));
    ASSERT_TRUE(two.ChooseTuner(L"Pellary SATV"));
    ASSERT_TRUE(two.ChooseTuner(L"Talvex C/CI"));
    EXPECT_TRUE(two.WaitForText(ids::kSessionTextId, L"Talvex C/CI 11100f0e0d0c0b0a: Common Interface session open."));
    EXPECT_TRUE(two.WaitForEnabled(ids::kEnterMenuId));

    // Killed while it holds the session: a new start takes the session over.
    second = CompanionProcess();  // ends the process forcibly
    EXPECT_EQ(flags_.Ci(DisplayNameOf(kCableId)), 1);
    CompanionProcess third;
    const CiWindow three(Started(third, L"Talvex C/CI"));
    ASSERT_NE(three.hwnd(), nullptr);
    EXPECT_TRUE(
        three.WaitForText(ids::kSessionTextId, L"Talvex C/CI 11100f0e0d0c0b0a: Common Interface session open."));
    // Closed by the user: the session ends with the program.
    PostMessageW(three.hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(third.WaitForExit(15s));
    EXPECT_EQ(flags_.Ci(DisplayNameOf(kCableId)), 0);
}

TEST_F(CiCompanionTest, ANewReadingOfTheListKeepsTheChosenTunersSessionUntilTheTunerGoes) {
    tunersim::ReadyModule(kCableId);
    CompanionProcess process;
    const CiWindow ci(Started(process, L"Talvex C/CI"));
    ASSERT_NE(ci.hwnd(), nullptr);
    ASSERT_TRUE(ci.WaitForEnabled(ids::kEnterMenuId));
    ci.Click(ids::kEnterMenuId);
    ASSERT_TRUE(ci.WaitForText(ids::kTitleId, L"Kestrel Conditional Access"));
    const std::uint32_t opens = tunersim::CommonInterface(kCableId).opens;

    // Another tuner comes: the list is read anew, and the choice, the session and the menu
    // on screen stay as they were.
    tunersim::Plug(Box("0000000000003401", 1, 0x34, 4));
    const HWND list = ci.Control(companion::kTunerListId);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::ListBoxLines(list).size() == 3; }, kWaitMs));
    const int chosen = uidriver::ListBoxSelection(list);
    ASSERT_GE(chosen, 0);
    EXPECT_EQ(uidriver::ListBoxLines(list)[static_cast<size_t>(chosen)].rfind(L"Talvex C/CI", 0), 0u);
    EXPECT_EQ(ci.Text(ids::kTitleId), L"Kestrel Conditional Access");
    EXPECT_EQ(ci.Text(ids::kSessionTextId), L"Talvex C/CI 11100f0e0d0c0b0a: Common Interface session open.");
    EXPECT_EQ(tunersim::CommonInterface(kCableId).opens, opens);
    EXPECT_EQ(flags_.Ci(DisplayNameOf(kCableId)), 1);

    // The session's tuner goes: so does its session, and nothing is chosen.
    tunersim::Unplug(kCableId);
    ASSERT_TRUE(ci.WaitForText(ids::kSessionTextId, L"Choose a tuner to open its Common Interface."));
    EXPECT_EQ(flags_.Ci(DisplayNameOf(kCableId)), 0);
    EXPECT_EQ(ci.Text(ids::kTitleId), L"");
    EXPECT_FALSE(uidriver::IsEnabled(ci.Control(ids::kEnterMenuId)));
}

}  // namespace
}  // namespace companion_test
