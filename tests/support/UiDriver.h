// Drives a GUI program in another process the way a user would: start it, find its
// windows, read what its controls show, click, select, answer message boxes, and wait
// for all of it with bounded waits. Every wait pumps the calling thread's messages,
// because a test may own windows of its own (or a library window) that must keep
// answering while it waits.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace uidriver {

// A started program. The process runs in a job object that kills it and everything
// it started (for example programs it launched through the shell) when the object
// goes away, so a failing test leaves nothing running.
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `exe` with `arguments` in `workingDirectory` (empty: the caller's).
    // Throws std::runtime_error with the reason when the start fails.
    static Process Launch(const std::wstring& exe, const std::wstring& arguments = L"",
                          const std::wstring& workingDirectory = L"");

    bool Valid() const { return m_process != nullptr; }
    DWORD Id() const { return m_processId; }
    HANDLE Handle() const { return m_process; }

    bool IsRunning() const;
    // Waits (pumping messages) until the process has ended; its exit code on success.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
    // Ends the process and everything in its job.
    void Kill();

private:
    void Release();

    HANDLE m_job = nullptr;
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
};

// Directory of the running test program with a trailing backslash (where every exe
// and dll of the build lies).
std::wstring BinDirectory();

// Processes all messages waiting for the calling thread.
void PumpMessages();

// Calls `done` until it returns true or `timeoutMs` have passed, pumping messages
// between calls. True when `done` succeeded.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD intervalMs = 20);

// Pumps messages for the given time (to let a program act, e.g. a timer tick).
void PumpFor(DWORD milliseconds);

// Top-level windows (visible or not) of a process; with a class name and/or caption
// (nullptr: any), only windows that match exactly.
std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className = nullptr,
                                  const wchar_t* caption = nullptr);
// Top-level windows of any process with exactly this class name.
std::vector<HWND> WindowsOfClass(const wchar_t* className);

HWND FindTopLevelWindow(DWORD processId, const wchar_t* className,
                        const wchar_t* caption = nullptr);
HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* caption,
                           DWORD timeoutMs);

DWORD WindowProcessId(HWND window);
// Creation time of a process (FILETIME as one number); 0 when it cannot be opened.
ULONGLONG ProcessCreationTime(DWORD processId);
// Ends (forcibly) every process that owns a top-level window of exactly this class,
// whoever started it, and waits until no such window is left. True when none is left.
bool EndOwnersOfWindowsOfClass(const wchar_t* className, DWORD timeoutMs);
std::wstring WindowClassName(HWND window);

// Text of a window or control (WM_GETTEXT; bounded, so a hung program gives "").
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int controlId);
HWND Control(HWND dialog, int controlId);
bool IsEnabled(HWND window);
bool IsVisible(HWND window);

// Combo box: lines (CB_GETLBTEXT, wide: the narrow variant loses all but the first
// character across processes), current selection (-1: none).
std::vector<std::wstring> ComboLines(HWND combo);
int ComboSelection(HWND combo);
std::wstring ComboSelectedText(HWND combo);
// Selects a line and tells the parent (CBN_SELCHANGE), as a user's choice would.
// False when the index is out of range or the program did not answer.
bool SelectComboLine(HWND combo, int index);

// List box lines (LB_GETTEXT, wide), the selected line (-1: none), and choosing a line
// with the parent told (LBN_SELCHANGE), as a user's click would.
std::vector<std::wstring> ListBoxLines(HWND listBox);
int ListBoxSelection(HWND listBox);
// Selects a line of a single-selection list box and tells the parent (LBN_SELCHANGE), as a
// user's click would. False when the index is out of range or the program did not answer.
bool SelectListBoxLine(HWND listBox, int index);

// Replaces an edit control's text (WM_SETTEXT, wide), as the user's typing leaves it.
bool SetControlText(HWND control, const std::wstring& text);

// Progress bar position (PBM_GETPOS) and range; nullopt when the program did not answer.
std::optional<int> ProgressPosition(HWND progress);
std::optional<std::pair<int, int>> ProgressRange(HWND progress);

// Clicks a button (BM_CLICK, posted: the click may open a modal box in the program,
// and the caller must stay free to answer it).
void ClickButton(HWND button);
// System command (WM_SYSCOMMAND, posted), e.g. the program's own menu entries.
void SendSystemCommand(HWND window, WPARAM command);
// Asks a window to close (WM_CLOSE, posted).
void RequestClose(HWND window);

// Message boxes: a visible dialog-class (#32770) top-level window of the process that
// holds the message text control (id 0xFFFF) and is not `exclude`.
std::vector<HWND> MessageBoxes(DWORD processId, HWND exclude = nullptr);
HWND FindMessageBox(DWORD processId, HWND exclude = nullptr);
HWND WaitForMessageBox(DWORD processId, HWND exclude, DWORD timeoutMs);
std::wstring MessageBoxText(HWND box);
std::wstring MessageBoxCaption(HWND box);
// Presses OK (IDOK) and waits until the box has gone; false when it stayed.
bool PressOk(HWND box, DWORD timeoutMs = 5000);

// Wide <-> narrow helpers for comparing with the program's ANSI texts.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace uidriver
