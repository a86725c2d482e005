// Modal dialog frame: runs a dialog template with DialogBoxParamW and forwards the
// dialog's messages to the C++ object. Derived dialogs bind their control wrappers in
// DoDataExchange and handle messages in OnMessage; what they leave unhandled gets the
// frame's default handling (OK/Cancel end the dialog, WM_CLOSE cancels) and then the
// window system's.
#pragma once

#include <windows.h>

#include <string>

class CControl;

class CDialogFrame {
public:
    CDialogFrame(UINT templateId, HWND parent);
    CDialogFrame(const CDialogFrame&) = delete;
    CDialogFrame& operator=(const CDialogFrame&) = delete;
    virtual ~CDialogFrame();

    // Runs the dialog until EndDialog; returns its result, or -1 when the template
    // could not be loaded or the dialog could not be created.
    INT_PTR DoModal();
    HWND GetSafeHwnd() const { return m_hWnd; }
    UINT GetTemplateId() const { return m_templateId; }

protected:
    // Binds the control wrappers to their ids (BindControl). Called by OnInitDialog.
    virtual void DoDataExchange();
    // The frame's own initialisation: data exchange. Return TRUE to let the window
    // system set the focus.
    virtual BOOL OnInitDialog();
    // Every message after WM_INITDIALOG. Return true when handled; `result` is then the
    // dialog procedure's answer for the message. Return false for the default handling.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    virtual void OnOK();
    virtual void OnCancel();

    void EndDialog(INT_PTR result);
    void BindControl(int id, CControl& control) const;
    HWND GetDlgItem(int id) const;
    void SetDlgItemText(int id, const std::wstring& text) const;
    // Appends a separator and a command to the window's system menu, the command's text
    // taken from string resource `stringId`. Adds nothing when the menu or the string is
    // missing or the string is empty; returns whether it added the command.
    bool AppendSystemMenuCommand(UINT commandId, UINT stringId) const;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
    HWND m_hWnd = nullptr;
};

// Loads a string resource of the program's own module; empty when it is missing.
std::wstring LoadResourceString(UINT id);
