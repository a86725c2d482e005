#include "DialogFrame.h"

#include "Controls.h"

#include <exception>

namespace {

HINSTANCE ProgramModule() { return GetModuleHandleW(nullptr); }

// Messages whose answer is the dialog procedure's return value itself rather than
// DWLP_MSGRESULT.
bool AnswersDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::wstring LoadResourceString(UINT id)
{
    // With a zero length LoadStringW hands out a read-only pointer into the resource.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ProgramModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

CDialogFrame::CDialogFrame(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialogFrame::~CDialogFrame() = default;

INT_PTR CDialogFrame::DoModal()
{
    return DialogBoxParamW(ProgramModule(), MAKEINTRESOURCEW(m_templateId), m_parent, &CDialogFrame::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialogFrame::DoDataExchange() {}

BOOL CDialogFrame::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

bool CDialogFrame::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

void CDialogFrame::OnOK() { EndDialog(IDOK); }

void CDialogFrame::OnCancel() { EndDialog(IDCANCEL); }

void CDialogFrame::EndDialog(INT_PTR result)
{
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

void CDialogFrame::BindControl(int id, CControl& control) const { control.Attach(GetDlgItem(id)); }

HWND CDialogFrame::GetDlgItem(int id) const { return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr; }

void CDialogFrame::SetDlgItemText(int id, const std::wstring& text) const
{
    if (m_hWnd) ::SetDlgItemTextW(m_hWnd, id, text.c_str());
}

bool CDialogFrame::AppendSystemMenuCommand(UINT commandId, UINT stringId) const
{
    HMENU menu = m_hWnd ? GetSystemMenu(m_hWnd, FALSE) : nullptr;
    if (!menu) return false;
    const std::wstring text = LoadResourceString(stringId);
    if (text.empty()) return false;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, commandId, text.c_str());
    return true;
}

INT_PTR CALLBACK CDialogFrame::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogFrame* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogFrame*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        if (self) self->m_hWnd = window;
    } else {
        self = reinterpret_cast<CDialogFrame*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self) return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT) need nothing

    INT_PTR answer = FALSE;
    try {
        answer = self->Dispatch(message, wParam, lParam);
    } catch (const std::exception&) {
        // No failure may unwind into the window system; the dialog cannot go on sanely.
        ::EndDialog(window, -1);
        answer = TRUE;
    }
    if (message == WM_NCDESTROY) {
        self->m_hWnd = nullptr;
        SetWindowLongPtrW(window, DWLP_USER, 0);
    }
    return answer;
}

INT_PTR CDialogFrame::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog();

    INT_PTR result = 0;
    if (OnMessage(message, wParam, lParam, result)) {
        if (AnswersDirectly(message)) return result;
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return DefaultHandling(message, wParam, lParam) ? TRUE : FALSE;
}

bool CDialogFrame::DefaultHandling(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 0) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return true;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return true;
            }
        }
        return false;
    case WM_CLOSE:
        OnCancel();
        return true;
    default:
        return false;
    }
}
