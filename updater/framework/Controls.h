// Thin wrappers over the dialog's child controls. They do not own the window: the
// dialog destroys its children. A wrapper is bound to its control by the dialog's
// data exchange and is empty (null window) before that.
#pragma once

#include <windows.h>

#include <string>

class CControl {
public:
    CControl() = default;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;
    virtual ~CControl() = default;

    void Attach(HWND window) { m_hWnd = window; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text) const;
    void EnableWindow(bool enable) const;
    bool IsWindowEnabled() const;

protected:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

private:
    HWND m_hWnd = nullptr;
};

class CStaticText : public CControl {};

class CButtonCtl : public CControl {};

// Drop-down list box (combo box). Item data carries an application value per line.
class CComboBoxCtl : public CControl {
public:
    void ResetContent() const;
    int AddString(const std::wstring& text) const;  // position of the line, or CB_ERR
    int GetCount() const;
    int GetCurSel() const;                          // CB_ERR when nothing is selected
    int SetCurSel(int index) const;
    bool SetItemData(int index, LPARAM data) const;
    LPARAM GetItemData(int index) const;            // CB_ERR on a bad index
    std::wstring GetLBText(int index) const;
};

class CListBoxCtl : public CControl {
public:
    void ResetContent() const;
    int AddString(const std::wstring& text) const;
    int GetCount() const;
    std::wstring GetText(int index) const;
};

class CProgressBarCtl : public CControl {
public:
    void SetRange(int lower, int upper) const;  // PBM_SETRANGE: 16-bit bounds
    int SetPos(int position) const;             // previous position
    int GetPos() const;
};
