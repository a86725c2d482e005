// The real Romflux.exe, started as its own process and driven as a user would,
// against simulated tuners that are plugged and unplugged while it runs.
#include "FileVersionInfo.h"
#include "FirmwareImage.h"
#include "TunerSimControl.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace uidriver;

constexpr DWORD kWaitMs = 15000;
constexpr const wchar_t* kMainCaption = L"Talvex Firmware Update";
constexpr const wchar_t* kDialogClass = L"#32770";

// Control ids of the main dialog and the About box.
constexpr int kFirmwareVersion = 1000;
constexpr int kTunerList = 1001;
constexpr int kGuid = 1003;
constexpr int kUpdateButton = 1004;
constexpr int kProgress = 1005;
constexpr int kRevision = 1006;
constexpr int kRelease = 1010;
constexpr int kAboutVersion = 1015;
constexpr int kAboutCopyright = 1017;
constexpr int kAboutProduct = 1018;
constexpr int kAboutList = 1019;
constexpr int kAboutDriver = 1020;
constexpr WPARAM kAboutCommand = 0x0010;

tunersim::DeviceProfile Box(const std::string& preset, const std::string& id, unsigned models = tunersim::kWdm)
{
    tunersim::DeviceProfile profile = tunersim::Preset(preset);
    profile.id = id;
    profile.models = models;
    return profile;
}

// The library's GUID text of a box: the identifier's eight digit pairs in reverse
// order, shown in upper case.
std::wstring ShownGuid(const std::string& id)
{
    std::string text;
    for (size_t pair = id.size(); pair >= 2; pair -= 2) text += id.substr(pair - 2, 2);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return Widen(text);
}

std::wstring Line(const std::wstring& model, const std::string& id) { return model + L" (" + ShownGuid(id) + L")"; }

std::wstring GuidText(const std::string& id) { return L"0x" + ShownGuid(id); }

// Case-insensitive order, as the sorted list box keeps its lines.
std::vector<std::wstring> Sorted(std::vector<std::wstring> lines)
{
    std::sort(lines.begin(), lines.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
    });
    return lines;
}

class RomfluxGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        tunersim::Reset();
        tunersim::EnsureFilterRegistered();
    }

    void TearDown() override
    {
        if (m_app.Valid() && m_app.IsRunning()) {
            if (m_dialog) RequestClose(m_dialog);
            if (!m_app.WaitForExit(5000)) m_app.Kill();
        }
        tunersim::Reset();
    }

    void Start()
    {
        m_app = Process::Launch(BinDirectory() + L"Romflux.exe", L"", BinDirectory());
        m_dialog = WaitForTopLevelWindow(m_app.Id(), kDialogClass, kMainCaption, kWaitMs);
        ASSERT_NE(m_dialog, nullptr) << "Romflux's dialog did not appear";
        m_combo = Control(m_dialog, kTunerList);
        ASSERT_NE(m_combo, nullptr);
    }

    std::vector<std::wstring> Lines() const { return ComboLines(m_combo); }

    // Waits until the list shows exactly these lines (in the list box's order).
    ::testing::AssertionResult WaitForLines(const std::vector<std::wstring>& expected)
    {
        const auto sorted = Sorted(expected);
        if (WaitUntil([&] { return Lines() == sorted; }, kWaitMs)) return ::testing::AssertionSuccess();
        std::string shown;
        for (const auto& line : Lines()) shown += "\n  \"" + Narrow(line) + "\"";
        return ::testing::AssertionFailure() << "the list shows" << (shown.empty() ? " nothing" : shown);
    }

    std::wstring Text(int id) const { return ControlText(m_dialog, id); }
    bool UpdateEnabled() const { return IsEnabled(Control(m_dialog, kUpdateButton)); }

    HWND OpenAbout()
    {
        SendSystemCommand(m_dialog, kAboutCommand);
        HWND about = nullptr;
        // A modal box shows itself once it is initialised; before that its controls
        // may still be being made.
        WaitUntil(
            [&] {
                for (HWND w : TopLevelWindows(m_app.Id(), kDialogClass))
                    if (w != m_dialog && GetDlgItem(w, kAboutList) && IsVisible(w)) about = w;
                return about != nullptr;
            },
            kWaitMs);
        return about;
    }

    Process m_app;
    HWND m_dialog = nullptr;
    HWND m_combo = nullptr;
};

TEST_F(RomfluxGui, WithoutTunersTheListAndTextsAreEmptyAndUpdateIsDisabled)
{
    Start();
    // The display of the (empty) selection has replaced the placeholders.
    ASSERT_TRUE(WaitUntil([&] { return Text(kGuid).empty(); }, kWaitMs));
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(ComboSelection(m_combo), -1);
    EXPECT_EQ(Text(kFirmwareVersion), L"");
    EXPECT_EQ(Text(kRevision), L"");
    EXPECT_EQ(Text(kRelease), L"");
    EXPECT_FALSE(UpdateEnabled());
    EXPECT_EQ(WindowText(m_dialog), kMainCaption);

    // A click on the disabled button, sent anyway, starts nothing.
    SendMessageTimeoutW(m_dialog, WM_COMMAND, MAKEWPARAM(kUpdateButton, BN_CLICKED),
                        reinterpret_cast<LPARAM>(Control(m_dialog, kUpdateButton)), SMTO_ABORTIFHUNG, 5000, nullptr);
    PumpFor(300);
    EXPECT_EQ(FindMessageBox(m_app.Id(), m_dialog), nullptr);
}

TEST_F(RomfluxGui, ListsTunersOfBothModelsSortedWithTheFirstLineShown)
{
    tunersim::Plug(Box("talvex-s2", "00fedcba98765432"), false);
    tunersim::Plug(Box("nubrik-sci-r1", "1122334455667788", tunersim::kBda), false);
    tunersim::Plug(Box("talvex-cci-r2", "aabbccddeeff0011", tunersim::kBoth), false);
    Start();

    // The box seen in both driver models gives two lines.
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "00fedcba98765432"), Line(L"Nubrik S/CI", "1122334455667788"),
                              Line(L"Talvex C/CI", "aabbccddeeff0011"), Line(L"Talvex C/CI", "aabbccddeeff0011")}));
    EXPECT_EQ(ComboSelection(m_combo), 0);
    EXPECT_EQ(ComboSelectedText(m_combo), Line(L"Nubrik S/CI", "1122334455667788"));
    EXPECT_EQ(Text(kGuid), GuidText("1122334455667788"));
    EXPECT_EQ(Text(kFirmwareVersion), L"1.2.0, Build 40110");
    EXPECT_EQ(Text(kRevision), L"0x1");
    EXPECT_EQ(Text(kRelease), L"Release 1.3.0 Build 44650");
    EXPECT_TRUE(UpdateEnabled());

    // The user picks the S2 box: revision 4 of model 0x34 selects its own image.
    const auto lines = Lines();
    const auto s2 = std::find(lines.begin(), lines.end(), Line(L"Talvex S2", "00fedcba98765432"));
    ASSERT_NE(s2, lines.end());
    ASSERT_TRUE(SelectComboLine(m_combo, static_cast<int>(s2 - lines.begin())));
    ASSERT_TRUE(WaitUntil([&] { return Text(kGuid) == GuidText("00fedcba98765432"); }, kWaitMs));
    EXPECT_EQ(Text(kFirmwareVersion), L"1.3.0, Build 44650");
    EXPECT_EQ(Text(kRevision), L"0x4");
    EXPECT_EQ(Text(kRelease), L"Release 1.5.0 Build 22720");
    EXPECT_TRUE(UpdateEnabled());
}

TEST_F(RomfluxGui, ATunerWithoutACarriedImageCannotBeUpdated)
{
    tunersim::Plug(Box("talvex-atsc", "0000000000000a75"), false);
    tunersim::Plug(Box("talvex-tci", "0000000000000b01"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex ATSC", "0000000000000a75"), Line(L"Talvex T/CI", "0000000000000b01")}));

    // "Talvex ATSC" sorts first: no image for model 0x37.
    EXPECT_EQ(Text(kGuid), GuidText("0000000000000a75"));
    EXPECT_EQ(Text(kRelease), L"No update for this device available");
    EXPECT_FALSE(UpdateEnabled());

    ASSERT_TRUE(SelectComboLine(m_combo, 1));
    ASSERT_TRUE(WaitUntil([&] { return UpdateEnabled(); }, kWaitMs));
    EXPECT_EQ(Text(kRelease), L"Release 1.4.0 Build 51440");

    // Back to the tuner without an image: the button goes off again, although an image
    // of the other tuner is still at hand.
    ASSERT_TRUE(SelectComboLine(m_combo, 0));
    ASSERT_TRUE(WaitUntil([&] { return !UpdateEnabled(); }, kWaitMs));
    EXPECT_EQ(Text(kRelease), L"No update for this device available");
}

TEST_F(RomfluxGui, ATunerWhoseVersionCannotBeReadKeepsTheTextsButOffersNoImage)
{
    tunersim::Plug(Box("talvex-s2", "0000000000000001"), false);
    tunersim::Plug(Box("nubrik-s2", "0000000000000002"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "0000000000000001"), Line(L"Nubrik S2", "0000000000000002")}));
    ASSERT_EQ(Text(kGuid), GuidText("0000000000000002"));
    ASSERT_TRUE(UpdateEnabled());

    tunersim::InjectFault("0000000000000001", 11, tunersim::Direction::Get, {tunersim::FaultKind::Fail});
    ASSERT_TRUE(SelectComboLine(m_combo, 1));
    ASSERT_TRUE(WaitUntil([&] { return !UpdateEnabled(); }, kWaitMs));
    // The texts of the earlier selection stay as they were.
    EXPECT_EQ(Text(kGuid), GuidText("0000000000000002"));
    EXPECT_EQ(Text(kRelease), L"Release 1.5.0 Build 22720");
}

TEST_F(RomfluxGui, TwoTunersOfOneModelAreToldApartByTheirGuid)
{
    tunersim::Plug(Box("talvex-sci-r2", "ffff000000000002"), false);
    tunersim::Plug(Box("talvex-sci-r2", "0000ffff00000001"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S/CI", "ffff000000000002"), Line(L"Talvex S/CI", "0000ffff00000001")}));
    EXPECT_EQ(ComboSelectedText(m_combo), Line(L"Talvex S/CI", "0000ffff00000001"));
    EXPECT_EQ(Text(kGuid), GuidText("0000ffff00000001"));
    EXPECT_EQ(Text(kRevision), L"0x2");
    EXPECT_EQ(Text(kRelease), L"Release 2.3.0 Build 44650");
}

TEST_F(RomfluxGui, PlugAndUnplugWhileOpenRebuildTheListAndSelectTheFirstLine)
{
    tunersim::Plug(Box("talvex-tci", "3000000000000003"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "3000000000000003")}));

    tunersim::Plug(Box("nubrik-cci-r2", "2000000000000002"));
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "3000000000000003"), Line(L"Nubrik C/CI", "2000000000000002")}));
    EXPECT_EQ(ComboSelection(m_combo), 0);
    EXPECT_EQ(Text(kGuid), GuidText("2000000000000002"));
    EXPECT_EQ(Text(kRelease), L"Release 2.4.0 Build 51440");

    // The user's choice is replaced by the first line after the next change.
    ASSERT_TRUE(SelectComboLine(m_combo, 1));
    ASSERT_TRUE(WaitUntil([&] { return Text(kGuid) == GuidText("3000000000000003"); }, kWaitMs));
    tunersim::Plug(Box("nubrik-tci-r2", "1000000000000001"));
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "3000000000000003"), Line(L"Nubrik C/CI", "2000000000000002"),
                              Line(L"Nubrik T/CI", "1000000000000001")}));
    EXPECT_EQ(ComboSelection(m_combo), 0);
    EXPECT_EQ(Text(kGuid), GuidText("2000000000000002"));

    tunersim::Unplug("2000000000000002");
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "3000000000000003"), Line(L"Nubrik T/CI", "1000000000000001")}));
    EXPECT_EQ(Text(kGuid), GuidText("1000000000000001"));
    EXPECT_EQ(Text(kRelease), L"Release 1.4.0 Build 51440");

    // Everything gone: empty texts and no update.
    tunersim::Unplug("3000000000000003");
    tunersim::Unplug("1000000000000001");
    ASSERT_TRUE(WaitForLines({}));
    EXPECT_EQ(ComboSelection(m_combo), -1);
    EXPECT_EQ(Text(kGuid), L"");
    EXPECT_EQ(Text(kFirmwareVersion), L"");
    EXPECT_EQ(Text(kRevision), L"");
    EXPECT_EQ(Text(kRelease), L"");
    EXPECT_FALSE(UpdateEnabled());

    // Plugged again: the same tuner comes back under its old name.
    tunersim::Plug(Box("talvex-tci", "3000000000000003"));
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "3000000000000003")}));
    EXPECT_TRUE(UpdateEnabled());
}

TEST_F(RomfluxGui, ChangesWhileAModalBoxIsOpenRebuildAtOnce)
{
    tunersim::Plug(Box("talvex-s2", "4000000000000004"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "4000000000000004")}));

    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    tunersim::Plug(Box("nubrik-s2", "5000000000000005"));
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "4000000000000004"), Line(L"Nubrik S2", "5000000000000005")}));
    EXPECT_EQ(ComboSelection(m_combo), 0);
    EXPECT_EQ(Text(kGuid), GuidText("5000000000000005"));
    tunersim::Unplug("4000000000000004");
    ASSERT_TRUE(WaitForLines({Line(L"Nubrik S2", "5000000000000005")}));
    EXPECT_TRUE(IsVisible(about));

    ASSERT_TRUE(PressOk(about));
    EXPECT_TRUE(WaitUntil([&] { return TopLevelWindows(m_app.Id(), kDialogClass).size() == 1; }, kWaitMs));
}

TEST_F(RomfluxGui, AboutBoxShowsProductVersionCopyrightDriverAndTheThirteenImages)
{
    tunersim::Plug(Box("talvex-s2", "6000000000000006"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "6000000000000006")}));

    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Narrow(BinDirectory() + L"Romflux.exe")));
    ASSERT_FALSE(info.GetLegalCopyright().empty());

    EXPECT_EQ(WindowText(about), L"About Talvex Romflux");
    EXPECT_EQ(ControlText(about, kAboutProduct), L"Talvex Romflux");
    EXPECT_EQ(ControlText(about, kAboutVersion), L"Version: 3.0 (2182-0)");
    EXPECT_EQ(ControlText(about, kAboutCopyright), Widen(info.GetLegalCopyright()));
    EXPECT_EQ(ControlText(about, kAboutDriver), L"Driver Version: TVX 4.2.1.1810  WDM");
    EXPECT_EQ(ListBoxLines(GetDlgItem(about, kAboutList)), (std::vector<std::wstring>{
                                                               L" Ver. 1.3.0.44650 - Nubrik S/CI (Rev 1)",
                                                               L" Ver. 1.3.0.44650 - Talvex S/CI (Rev 1)",
                                                               L" Ver. 1.4.0.51440 - Nubrik T/CI",
                                                               L" Ver. 1.4.0.51440 - Nubrik T/CI (Rev 2)",
                                                               L" Ver. 1.4.0.51440 - Talvex T/CI",
                                                               L" Ver. 1.4.0.52030 - Nubrik C/CI (Rev 1)",
                                                               L" Ver. 1.4.0.52030 - Talvex C/CI (Rev 1)",
                                                               L" Ver. 1.5.0.22720 - Nubrik S2",
                                                               L" Ver. 1.5.0.22720 - Talvex S2",
                                                               L" Ver. 2.3.0.44650 - Nubrik S/CI (Rev 2)",
                                                               L" Ver. 2.3.0.44650 - Talvex S/CI (Rev 2)",
                                                               L" Ver. 2.4.0.51440 - Nubrik C/CI (Rev 2)",
                                                               L" Ver. 2.4.0.51440 - Talvex C/CI (Rev 2)",
                                                           }));
    ASSERT_TRUE(PressOk(about));

    // A BDA tuner is named so in the driver line; without a tuner the line says so.
    tunersim::Unplug("6000000000000006");
    tunersim::Plug(Box("talvex-s2", "7000000000000007", tunersim::kBda));
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "7000000000000007")}));
    about = OpenAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlText(about, kAboutDriver), L"Driver Version: TVX 4.2.1.1810  BDA");
    ASSERT_TRUE(PressOk(about));

    tunersim::Unplug("7000000000000007");
    ASSERT_TRUE(WaitForLines({}));
    about = OpenAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlText(about, kAboutDriver), L"Driver Version: Error, no tuner available");
    ASSERT_TRUE(PressOk(about));
}

TEST_F(RomfluxGui, UpdateSendsTheImageThatFitsTheSelectedTuner)
{
    tunersim::Plug(Box("nubrik-cci-r1", "a100000000000001"), false);
    tunersim::Plug(Box("talvex-cci-r2", "a200000000000002"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Nubrik C/CI", "a100000000000001"), Line(L"Talvex C/CI", "a200000000000002")}));
    ASSERT_TRUE(SelectComboLine(m_combo, 1));
    ASSERT_TRUE(WaitUntil([&] { return Text(kRelease) == L"Release 2.4.0 Build 51440"; }, kWaitMs));

    ClickButton(Control(m_dialog, kUpdateButton));
    HWND box = WaitForMessageBox(m_app.Id(), m_dialog, kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"Firmware update succeeded!");
    EXPECT_EQ(MessageBoxCaption(box), L"Romflux");

    // Exactly the carried image of key FW_013602 went to the selected tuner, whole.
    const std::string image = firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013602"));
    const tunersim::ImageReceipt receipt = tunersim::LastImage("a200000000000002");
    EXPECT_EQ(receipt.count, 1u);
    EXPECT_EQ(receipt.length, image.size());
    EXPECT_EQ(receipt.crc32, tunersim::ImageCrc32(image.data(), image.size()));
    EXPECT_EQ(tunersim::LastImage("a100000000000001").count, 0u);

    // A tuner arriving while the box is open is listed at once, the first line selected.
    tunersim::Plug(Box("nubrik-s2", "a300000000000003"));
    ASSERT_TRUE(WaitForLines({Line(L"Nubrik C/CI", "a100000000000001"), Line(L"Talvex C/CI", "a200000000000002"),
                              Line(L"Nubrik S2", "a300000000000003")}));
    EXPECT_EQ(ComboSelection(m_combo), 0);
    EXPECT_EQ(Text(kGuid), GuidText("a100000000000001"));
    EXPECT_TRUE(IsVisible(box));
    ASSERT_TRUE(PressOk(box));
}

TEST_F(RomfluxGui, EscapeClosesTheProgramLikeTheCloseCommand)
{
    tunersim::Plug(Box("talvex-s2", "d100000000000001"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "d100000000000001")}));
    PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    const auto code = m_app.WaitForExit(kWaitMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
}

TEST_F(RomfluxGui, NoUpdateStartsForATunerWithoutAnImageEvenWhenTheClickArrives)
{
    tunersim::Plug(Box("talvex-s2", "b100000000000001"), false);
    tunersim::Plug(Box("talvex-atsc", "b200000000000002"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "b100000000000001"), Line(L"Talvex ATSC", "b200000000000002")}));
    // The first line (ATSC) has no image; the S2's image was never chosen for it.
    ASSERT_EQ(Text(kRelease), L"No update for this device available");
    ASSERT_TRUE(SelectComboLine(m_combo, 1));
    ASSERT_TRUE(WaitUntil([&] { return UpdateEnabled(); }, kWaitMs));
    ASSERT_TRUE(SelectComboLine(m_combo, 0));
    ASSERT_TRUE(WaitUntil([&] { return !UpdateEnabled(); }, kWaitMs));

    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(m_dialog, WM_COMMAND, MAKEWPARAM(kUpdateButton, BN_CLICKED),
                        reinterpret_cast<LPARAM>(Control(m_dialog, kUpdateButton)), SMTO_ABORTIFHUNG, 5000, &ignored);
    PumpFor(600);
    EXPECT_EQ(FindMessageBox(m_app.Id(), m_dialog), nullptr);
    EXPECT_EQ(tunersim::Requests("b200000000000002", 17).sets, 0u);
    EXPECT_EQ(tunersim::Requests("b100000000000001", 17).sets, 0u);
}

TEST_F(RomfluxGui, ARebuildDuringARunKeepsPollingTheTunerUnderUpdate)
{
    tunersim::Plug(Box("talvex-tci", "c100000000000001"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "c100000000000001")}));
    tunersim::ScriptUpdate("c100000000000001", {tunersim::ScriptKind::Stall, 40});
    ClickButton(Control(m_dialog, kUpdateButton));
    HWND bar = Control(m_dialog, kProgress);
    ASSERT_TRUE(WaitUntil([&] { return ProgressPosition(bar) == std::optional<int>(40); }, kWaitMs));

    // Another tuner arrives: the list is rebuilt while the run goes on.
    tunersim::Plug(Box("nubrik-s2", "c200000000000002"));
    ASSERT_TRUE(WaitForLines({Line(L"Talvex T/CI", "c100000000000001"), Line(L"Nubrik S2", "c200000000000002")}));
    const uint32_t polls = tunersim::Requests("c100000000000001", 18).gets;
    // The polls still reach the tuner through the kept handle: no "detached" box.
    ASSERT_TRUE(WaitUntil([&] { return tunersim::Requests("c100000000000001", 18).gets >= polls + 2; }, kWaitMs));
    EXPECT_EQ(FindMessageBox(m_app.Id(), m_dialog), nullptr);
    EXPECT_EQ(ProgressPosition(bar), std::optional<int>(40));

    // Unplugged now: the next rebuild closes that handle and the run ends as detached.
    tunersim::Unplug("c100000000000001");
    HWND box = WaitForMessageBox(m_app.Id(), m_dialog, kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"An error occured while updating the firmware, device detached?");
    ASSERT_TRUE(PressOk(box));
    // The bar is set from the (empty) status record only once the box has returned.
    EXPECT_TRUE(WaitUntil([&] { return ProgressPosition(bar) == std::optional<int>(0); }, kWaitMs));
    PumpFor(1000);
    EXPECT_EQ(FindMessageBox(m_app.Id(), m_dialog), nullptr);
}

TEST_F(RomfluxGui, ClosingTheWindowEndsTheProcess)
{
    tunersim::Plug(Box("talvex-s2", "8000000000000008"), false);
    Start();
    ASSERT_TRUE(WaitForLines({Line(L"Talvex S2", "8000000000000008")}));
    RequestClose(m_dialog);
    const auto code = m_app.WaitForExit(kWaitMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
}

}  // namespace
