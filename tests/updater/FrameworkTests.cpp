// The dialog frame with real windows: modal run, dispatch, data exchange, default
// handling, system menu and the control wrappers.
#include "Controls.h"
#include "DialogFrame.h"
#include "FrameworkTestIds.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The progress bar's window class comes from the common controls.
const bool kCommonControlsReady = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&controls) != FALSE;
}();

constexpr UINT WM_TEST_STEP = WM_APP + 1;
constexpr UINT_PTR kWatchdogTimer = 77;
constexpr INT_PTR kWatchdogResult = -2;

// Runs `step` once the dialog is up; a watchdog ends a dialog that nothing ended.
class TestDialog : public CDialogFrame {
public:
    explicit TestDialog(UINT templateId = IDD_TEST_DIALOG) : CDialogFrame(templateId, nullptr) {}

    std::function<void(TestDialog&)> step;
    std::function<bool(UINT, WPARAM, LPARAM, INT_PTR&)> handler;
    CStaticText text;
    CComboBoxCtl combo;
    CListBoxCtl list;
    CProgressBarCtl progress;
    int dataExchanges = 0;
    bool boundBeforeInitReturned = false;

    using CDialogFrame::AppendSystemMenuCommand;
    using CDialogFrame::EndDialog;
    using CDialogFrame::GetDlgItem;

protected:
    void DoDataExchange() override
    {
        ++dataExchanges;
        BindControl(IDC_TEST_STATIC, text);
        BindControl(IDC_TEST_COMBO, combo);
        BindControl(IDC_TEST_LIST, list);
        BindControl(IDC_TEST_PROGRESS, progress);
    }
    BOOL OnInitDialog() override
    {
        const BOOL result = CDialogFrame::OnInitDialog();
        boundBeforeInitReturned = text.GetSafeHwnd() != nullptr;
        SetTimer(GetSafeHwnd(), kWatchdogTimer, 10000, nullptr);
        PostMessageW(GetSafeHwnd(), WM_TEST_STEP, 0, 0);
        return result;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override
    {
        if (message == WM_TIMER && wParam == kWatchdogTimer) {
            EndDialog(kWatchdogResult);
            return true;
        }
        if (message == WM_TEST_STEP) {
            if (step) step(*this);
            return true;
        }
        return handler ? handler(message, wParam, lParam, result) : false;
    }
};

TEST(DialogFrameRun, EndDialogValueIsTheResultAndControlsAreBoundFirst)
{
    ASSERT_TRUE(kCommonControlsReady);
    TestDialog dialog;
    std::wstring seen;
    HWND during = nullptr;
    dialog.step = [&](TestDialog& d) {
        seen = d.text.GetWindowText();
        during = d.GetSafeHwnd();
        d.EndDialog(42);
    };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_EQ(seen, L"Static text");
    EXPECT_TRUE(dialog.boundBeforeInitReturned);
    EXPECT_EQ(dialog.dataExchanges, 1);
    EXPECT_NE(during, nullptr);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);  // the window is gone after the run
}

TEST(DialogFrameRun, MissingTemplateFailsWithoutRunning)
{
    TestDialog dialog(IDD_MISSING);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.dataExchanges, 0);
}

TEST(DialogFrameDefaults, CloseCancelsAndTheOkButtonEndsWithOk)
{
    TestDialog closing;
    closing.step = [](TestDialog& d) { SendMessageW(d.GetSafeHwnd(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(closing.DoModal(), IDCANCEL);

    TestDialog ok;
    ok.step = [](TestDialog& d) { SendMessageW(d.GetDlgItem(IDOK), BM_CLICK, 0, 0); };
    EXPECT_EQ(ok.DoModal(), IDOK);

    TestDialog cancel;
    cancel.step = [](TestDialog& d) { SendMessageW(d.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0); };
    EXPECT_EQ(cancel.DoModal(), IDCANCEL);
}

TEST(DialogFrameDispatch, HandledMessagesAnswerWithTheirResult)
{
    TestDialog dialog;
    LRESULT directAnswer = 0;
    LRESULT storedAnswer = 0;
    LRESULT unhandledClose = 0;
    dialog.handler = [](UINT message, WPARAM, LPARAM, INT_PTR& result) {
        if (message == WM_QUERYDRAGICON) {
            result = 0x1234;
            return true;
        }
        if (message == WM_APP + 7) {
            result = 99;
            return true;
        }
        return false;
    };
    dialog.step = [&](TestDialog& d) {
        directAnswer = SendMessageW(d.GetSafeHwnd(), WM_QUERYDRAGICON, 0, 0);
        storedAnswer = SendMessageW(d.GetSafeHwnd(), WM_APP + 7, 0, 0);
        unhandledClose = SendMessageW(d.GetSafeHwnd(), WM_APP + 8, 0, 0);
        d.EndDialog(1);
    };
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(directAnswer, 0x1234);
    EXPECT_EQ(storedAnswer, 99);
    EXPECT_EQ(unhandledClose, 0);
}

TEST(DialogFrameDispatch, AFailureInAHandlerEndsTheDialogInsteadOfUnwindingIntoTheSystem)
{
    TestDialog dialog;
    dialog.step = [](TestDialog&) { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(DialogFrameSystemMenu, AppendsSeparatorAndCommandOnlyForANonEmptyString)
{
    TestDialog dialog;
    int before = -1, afterMissing = -1, afterAdded = -1;
    bool missingAdded = true, added = false;
    UINT lastId = 0, separatorType = 0;
    wchar_t lastText[64] = {};
    dialog.step = [&](TestDialog& d) {
        HMENU menu = GetSystemMenu(d.GetSafeHwnd(), FALSE);
        before = GetMenuItemCount(menu);
        missingAdded = d.AppendSystemMenuCommand(0x0010, IDS_MISSING);
        afterMissing = GetMenuItemCount(menu);
        added = d.AppendSystemMenuCommand(0x0010, IDS_TEST_COMMAND);
        afterAdded = GetMenuItemCount(menu);
        lastId = GetMenuItemID(menu, afterAdded - 1);
        GetMenuStringW(menu, afterAdded - 1, lastText, 64, MF_BYPOSITION);
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoW(menu, afterAdded - 2, TRUE, &info);
        separatorType = info.fType;
        d.EndDialog(1);
    };
    ASSERT_EQ(dialog.DoModal(), 1);
    ASSERT_GT(before, 0);
    EXPECT_FALSE(missingAdded);
    EXPECT_EQ(afterMissing, before);
    EXPECT_TRUE(added);
    EXPECT_EQ(afterAdded, before + 2);
    EXPECT_EQ(lastId, 0x0010u);
    EXPECT_STREQ(lastText, L"&Test \"Frame\"");
    EXPECT_TRUE(separatorType & MFT_SEPARATOR);
}

TEST(ControlWrappers, ComboListAndProgressWorkOnRealControls)
{
    TestDialog dialog;
    std::vector<std::wstring> comboLines;
    int posB = -1, posA = -1, selection = -2, emptySelection = -2;
    LPARAM dataOfA = 0;
    std::vector<std::wstring> listLines;
    int progressPos = -1, previousPos = -1;
    dialog.step = [&](TestDialog& d) {
        emptySelection = d.combo.GetCurSel();
        posB = d.combo.AddString(L"beta");
        posA = d.combo.AddString(L"Alpha");
        d.combo.SetItemData(posA, 7);
        d.combo.SetItemData(d.combo.AddString(L"gamma"), 9);
        d.combo.SetCurSel(0);
        selection = d.combo.GetCurSel();
        dataOfA = d.combo.GetItemData(0);
        for (int i = 0; i < d.combo.GetCount(); ++i) comboLines.push_back(d.combo.GetLBText(i));
        d.list.AddString(L"b row");
        d.list.AddString(L"A row");
        for (int i = 0; i < d.list.GetCount(); ++i) listLines.push_back(d.list.GetText(i));
        d.progress.SetRange(0, 100);
        d.progress.SetPos(37);
        previousPos = d.progress.SetPos(60);
        progressPos = d.progress.GetPos();
        d.combo.ResetContent();
        comboLines.push_back(std::to_wstring(d.combo.GetCount()));
        d.EndDialog(1);
    };
    ASSERT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(emptySelection, CB_ERR);
    EXPECT_EQ(posB, 0);
    EXPECT_EQ(posA, 0);  // sorted: "Alpha" goes before "beta"
    EXPECT_EQ(selection, 0);
    EXPECT_EQ(dataOfA, 7);
    EXPECT_EQ(comboLines, (std::vector<std::wstring>{L"Alpha", L"beta", L"gamma", L"0"}));
    EXPECT_EQ(listLines, (std::vector<std::wstring>{L"A row", L"b row"}));
    EXPECT_EQ(previousPos, 37);
    EXPECT_EQ(progressPos, 60);
}

TEST(ResourceStrings, LoadsTheStringOrNothing)
{
    EXPECT_EQ(LoadResourceString(IDS_TEST_COMMAND), L"&Test \"Frame\"");
    EXPECT_EQ(LoadResourceString(IDS_MISSING), L"");
}

}  // namespace
