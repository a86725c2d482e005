#include "Controls.h"

#include <commctrl.h>

#include <vector>

LRESULT CControl::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return m_hWnd ? SendMessageW(m_hWnd, message, wParam, lParam) : 0;
}

std::wstring CControl::GetWindowText() const
{
    if (!m_hWnd) return {};
    const int length = GetWindowTextLengthW(m_hWnd);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void CControl::SetWindowText(const std::wstring& text) const
{
    if (m_hWnd) ::SetWindowTextW(m_hWnd, text.c_str());
}

void CControl::EnableWindow(bool enable) const
{
    if (m_hWnd) ::EnableWindow(m_hWnd, enable ? TRUE : FALSE);
}

bool CControl::IsWindowEnabled() const
{
    return m_hWnd && ::IsWindowEnabled(m_hWnd);
}

void CComboBoxCtl::ResetContent() const { Send(CB_RESETCONTENT); }

int CComboBoxCtl::AddString(const std::wstring& text) const
{
    if (!GetSafeHwnd()) return CB_ERR;
    return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int CComboBoxCtl::GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }

int CComboBoxCtl::GetCurSel() const
{
    if (!GetSafeHwnd()) return CB_ERR;
    return static_cast<int>(Send(CB_GETCURSEL));
}

int CComboBoxCtl::SetCurSel(int index) const
{
    return static_cast<int>(Send(CB_SETCURSEL, static_cast<WPARAM>(index)));
}

bool CComboBoxCtl::SetItemData(int index, LPARAM data) const
{
    return GetSafeHwnd() && Send(CB_SETITEMDATA, static_cast<WPARAM>(index), data) != CB_ERR;
}

LPARAM CComboBoxCtl::GetItemData(int index) const
{
    if (!GetSafeHwnd()) return CB_ERR;
    return Send(CB_GETITEMDATA, static_cast<WPARAM>(index));
}

std::wstring CComboBoxCtl::GetLBText(int index) const
{
    const LRESULT length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length == CB_ERR || length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data());
}

void CListBoxCtl::ResetContent() const { Send(LB_RESETCONTENT); }

int CListBoxCtl::AddString(const std::wstring& text) const
{
    if (!GetSafeHwnd()) return LB_ERR;
    return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int CListBoxCtl::GetCount() const { return static_cast<int>(Send(LB_GETCOUNT)); }

std::wstring CListBoxCtl::GetText(int index) const
{
    const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR || length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data());
}

void CProgressBarCtl::SetRange(int lower, int upper) const
{
    Send(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CProgressBarCtl::SetPos(int position) const
{
    return static_cast<int>(Send(PBM_SETPOS, static_cast<WPARAM>(position)));
}

int CProgressBarCtl::GetPos() const { return static_cast<int>(Send(PBM_GETPOS)); }
