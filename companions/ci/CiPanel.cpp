#include "CiPanel.h"

#include <OmbrelApi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include "CiControls.h"
#include "CiTexts.h"
#include "WideText.h"

namespace companion::ci {
namespace {

constexpr int kLine = 18;
constexpr int kGap = 6;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 24;
constexpr int kEntriesHeight = 120;
constexpr int kAnswerHeight = 22;
// Session, module and event lines; menu buttons; title and subtitle; entries; bottom
// line; answer buttons.
constexpr int kHeight = 3 * kLine + kGap + kButtonHeight + kGap + 2 * kLine + kEntriesHeight + kGap + kLine + kGap +
                        kButtonHeight;

constexpr DWORD kStatic = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED;
constexpr wchar_t kPasswordChar = L'*';

// The status bit that each pending-event message reports.
std::uint16_t EventBitOf(UINT message) {
    switch (message) {
    case OMBREL_MSG_CI_FLAG_40: return 0x0040;
    case OMBREL_MSG_CI_FLAG_80: return 0x0080;
    default: return 0x0100;
    }
}

}  // namespace

HWND CiPanel::Make(const wchar_t* className, DWORD style, int id, const wchar_t* text) {
    // Fields the user works in are sunken; texts and buttons are not.
    const std::wstring_view name(className);
    const DWORD exStyle = name == L"EDIT" || name == L"LISTBOX" ? WS_EX_CLIENTEDGE : 0;
    HWND control = CreateWindowExW(exStyle, className, text, style, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (control && font_) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    return control;
}

int CiPanel::Create(HWND window, HFONT font) {
    window_ = window;
    instance_ = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    font_ = font;
    Make(L"STATIC", kStatic, kSessionTextId, Widen(std::string(kChooseTuner)).c_str());
    Make(L"STATIC", kStatic, kModuleTextId);
    Make(L"STATIC", kStatic, kEventTextId);
    Make(L"BUTTON", kButton, kEnterMenuId, L"Enter Menu");
    Make(L"BUTTON", kButton, kCloseMenuId, L"Close Menu");
    Make(L"STATIC", kStatic, kTitleId);
    Make(L"STATIC", kStatic, kSubtitleId);
    Make(L"LISTBOX", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, kEntriesId);
    Make(L"EDIT", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL, kAnswerId);
    Make(L"STATIC", kStatic, kBottomId);
    Make(L"BUTTON", kButton, kOkId, L"OK");
    Make(L"BUTTON", kButton, kBackId, L"Back");
    return kHeight;
}

void CiPanel::Layout(const RECT& area) {
    const int width = area.right - area.left;
    int y = area.top;
    const auto line = [&](int id) {
        MoveWindow(GetDlgItem(window_, id), area.left, y, width, kLine, TRUE);
        y += kLine;
    };
    const auto buttons = [&](int first, int second) {
        MoveWindow(GetDlgItem(window_, first), area.left, y, kButtonWidth, kButtonHeight, TRUE);
        MoveWindow(GetDlgItem(window_, second), area.left + kButtonWidth + kGap, y, kButtonWidth, kButtonHeight, TRUE);
        y += kButtonHeight + kGap;
    };
    line(kSessionTextId);
    line(kModuleTextId);
    line(kEventTextId);
    y += kGap;
    buttons(kEnterMenuId, kCloseMenuId);
    line(kTitleId);
    line(kSubtitleId);
    MoveWindow(GetDlgItem(window_, kEntriesId), area.left, y, width, kEntriesHeight, TRUE);
    // An enquiry's answer takes the entries' place.
    MoveWindow(GetDlgItem(window_, kAnswerId), area.left, y, width, kAnswerHeight, TRUE);
    y += kEntriesHeight + kGap;
    line(kBottomId);
    y += kGap;
    buttons(kOkId, kBackId);
}

void CiPanel::SetText(int id, const std::string& text) {
    SetWindowTextW(GetDlgItem(window_, id), Widen(text).c_str());
}

void CiPanel::Select(const TunerInfo* tuner) {
    const std::optional<TunerKey> key = tuner != nullptr ? KeyOf(*tuner) : std::nullopt;
    if (device_.open() && key && key == sessionOf_) {
        return;  // still the session's tuner: the menu the user is in stays
    }
    device_.Close();
    sessionOf_.reset();
    moduleReady_ = false;
    Show(std::nullopt);
    SetText(kModuleTextId, "");
    SetText(kEventTextId, "");
    if (tuner == nullptr) {
        SetText(kSessionTextId, std::string(kChooseTuner));
        EnableMenuButtons();
        return;
    }
    std::array<char, 2 * OMBREL_DISPLAY_STRING_SIZE> name{};
    const unsigned long result = tuner->opened && OB_GetDisplayString(tuner->handle, name.data()) == OB_SUCCESS
                                     ? device_.Open(name.data(), window_)
                                     : CiDevice::kNoHandle;
    if (result == CiDevice::kNoHandle) {
        SetText(kSessionTextId, std::string(kTunerNotOpened));
    } else {
        SetText(kSessionTextId, tuner->model + " " + tuner->guid + ": " + SessionText(result));
        if (result == OB_SUCCESS) {
            sessionOf_ = key;
            SetText(kModuleTextId, std::string(kNoModule));  // until the first poll says otherwise
        }
    }
    EnableMenuButtons();
}

bool CiPanel::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return LOWORD(wParam) >= kSessionTextId;
    case OMBREL_MSG_CI_MODULE_PRESENT:
    case OMBREL_MSG_CI_MODULE_READY:
    case OMBREL_MSG_CI_MODULE_GONE:
    case OMBREL_MSG_CI_FLAG_100:
    case OMBREL_MSG_CI_FLAG_40:
    case OMBREL_MSG_CI_FLAG_80:
        // Posted messages of a session that has been closed meanwhile are stale.
        if (device_.open() && wParam == device_.handle()) {
            OnModule(message);
        }
        return true;
    default:
        return false;
    }
}

void CiPanel::End() {
    device_.Close();
    sessionOf_.reset();
}

void CiPanel::OnModule(UINT message) {
    switch (message) {
    case OMBREL_MSG_CI_MODULE_PRESENT:
        SetText(kModuleTextId, std::string(kModuleStarting));
        return;
    case OMBREL_MSG_CI_MODULE_READY:
        moduleReady_ = true;
        ShowModuleReady();
        EnableMenuButtons();
        return;
    case OMBREL_MSG_CI_MODULE_GONE:
        moduleReady_ = false;
        SetText(kModuleTextId, std::string(kNoModule));
        Show(std::nullopt);
        EnableMenuButtons();
        return;
    default:
        SetText(kEventTextId, EventText(EventBitOf(message)));
        // The module may have changed what its menu shows.
        if (screen_) {
            Refresh();
        }
        return;
    }
}

void CiPanel::ShowModuleReady() {
    unsigned short manufacturer = 0;
    unsigned short code = 0;
    unsigned char length = 0;
    std::array<unsigned char, OMBREL_CI_MENU_STRING_SIZE> menu{};
    if (OB_CI_GetApplicationInfo(device_.handle(), &manufacturer, &code, &length, menu.data()) != OB_SUCCESS) {
        SetText(kModuleTextId, ModuleReadyText(nullptr));
        return;
    }
    const ApplicationInfo info{manufacturer, code, std::string(menu.begin(), menu.begin() + length)};
    SetText(kModuleTextId, ModuleReadyText(&info));
}

void CiPanel::OnCommand(int id, int code) {
    if (id == kEntriesId && code == LBN_DBLCLK) {
        Confirm();
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
    case kEnterMenuId: EnterMenu(); break;
    case kCloseMenuId: CloseMenu(); break;
    case kOkId: Confirm(); break;
    case kBackId: Back(); break;
    default: break;
    }
}

void CiPanel::EnterMenu() {
    if (!device_.open()) {
        return;
    }
    if (OB_CI_EnterMenu(device_.handle()) != OB_SUCCESS) {
        Show(std::nullopt);
        SetText(kTitleId, std::string(kMenuRefused));
        return;
    }
    Refresh();
}

void CiPanel::CloseMenu() {
    if (device_.open()) {
        OB_CI_CloseMMI(device_.handle());
    }
    Show(std::nullopt);
}

void CiPanel::Confirm() {
    if (!screen_ || !device_.open()) {
        return;
    }
    const unsigned long handle = device_.handle();
    switch (screen_->kind) {
    case MmiKind::Menu: {
        const LRESULT index = SendDlgItemMessageW(window_, kEntriesId, LB_GETCURSEL, 0, 0);
        if (index < 0) {
            return;  // nothing chosen yet
        }
        OB_CI_SendMenuAnswer(handle, static_cast<unsigned char>(index + 1));
        break;
    }
    case MmiKind::Enquiry: {
        std::array<wchar_t, 256> text{};
        GetDlgItemTextW(window_, kAnswerId, text.data(), static_cast<int>(text.size()));
        // The edit box holds 255 characters, but in a double-byte code page they may
        // take more bytes than the answer's one-byte length can say: send the first 255
        // rather than a length that wrapped round.
        const std::string answer = Narrow(text.data());
        OB_CI_SendEnqAnswer(handle, 1, static_cast<unsigned char>(std::min<std::size_t>(answer.size(), 255)),
                            reinterpret_cast<const unsigned char*>(answer.data()));
        break;
    }
    default:
        OB_CI_SendMenuAnswer(handle, 0);  // a list or text is acknowledged
        break;
    }
    Refresh();
}

void CiPanel::Back() {
    if (!screen_ || !device_.open()) {
        return;
    }
    if (screen_->kind == MmiKind::Enquiry) {
        OB_CI_SendEnqAnswer(device_.handle(), 0, 0, nullptr);
    } else {
        OB_CI_SendMenuAnswer(device_.handle(), 0);
    }
    Refresh();
}

void CiPanel::Refresh() {
    unsigned short length = 0;
    unsigned long tag = 0;
    std::vector<unsigned char> body(OMBREL_CI_MMI_BODY_SIZE);
    if (OB_CI_GetMMIObject(device_.handle(), &length, &tag, body.data()) != OB_SUCCESS) {
        Show(std::nullopt);
        SetText(kTitleId, std::string(kMenuClosed));
        return;
    }
    Show(ReadMmiScreen(tag, std::span<const std::uint8_t>(body.data(), length)));
}

void CiPanel::Show(const std::optional<MmiScreen>& screen) {
    screen_ = screen;
    const HWND entries = GetDlgItem(window_, kEntriesId);
    const HWND answer = GetDlgItem(window_, kAnswerId);
    SendMessageW(entries, LB_RESETCONTENT, 0, 0);
    SetWindowTextW(answer, L"");
    const bool enquiry = screen && screen->kind == MmiKind::Enquiry;
    ShowWindow(entries, enquiry ? SW_HIDE : SW_SHOW);
    ShowWindow(answer, enquiry ? SW_SHOW : SW_HIDE);
    if (!screen) {
        SetText(kTitleId, "");
        SetText(kSubtitleId, "");
        SetText(kBottomId, "");
    } else if (screen->kind == MmiKind::Unreadable) {
        char tag[16];
        std::snprintf(tag, sizeof tag, " (%06lX).", static_cast<unsigned long>(screen->tag));
        SetText(kTitleId, std::string(kUnreadableObject) + tag);
        SetText(kSubtitleId, "");
        SetText(kBottomId, "");
    } else {
        SetText(kTitleId, screen->title);
        SetText(kSubtitleId, screen->subtitle);
        SetText(kBottomId, screen->bottom);
        for (const std::string& entry : screen->entries) {
            SendMessageW(entries, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
        }
        if (screen->kind == MmiKind::Menu && !screen->entries.empty()) {
            SendMessageW(entries, LB_SETCURSEL, 0, 0);
        }
    }
    if (enquiry) {
        SendMessageW(answer, EM_SETPASSWORDCHAR, screen->blind ? kPasswordChar : 0, 0);
        SendMessageW(answer, EM_LIMITTEXT, screen->answerLength ? screen->answerLength : 255, 0);
        SetFocus(answer);
    }
    EnableMenuButtons();
}

void CiPanel::EnableMenuButtons() {
    const bool session = device_.open();
    EnableWindow(GetDlgItem(window_, kEnterMenuId), session && moduleReady_);
    EnableWindow(GetDlgItem(window_, kCloseMenuId), session && screen_.has_value());
    EnableWindow(GetDlgItem(window_, kOkId), session && screen_.has_value());
    EnableWindow(GetDlgItem(window_, kBackId), session && screen_.has_value());
}

}  // namespace companion::ci
