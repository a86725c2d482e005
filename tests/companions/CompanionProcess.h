// A companion program as a real process, and what another process can see of its
// window: the class name, the rows of its tuner list and its status line.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace companion_test {

using namespace std::chrono_literals;

// Folder of the running test executable (bin), with a trailing backslash.
std::wstring BinDirectory();

// Polls `done` every 50 ms until it holds or `timeout` passes; returns the last result.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Top-level windows of exactly this class, optionally only those of one process.
std::vector<HWND> FindWindowsOfClass(const std::wstring& className, DWORD processId = 0);

// Ends every process that owns a top-level window of this class (WM_DESTROY first, then
// force after a bounded wait). True when no such window is left.
bool EndProcessesWithWindowOfClass(const std::wstring& className);

struct WindowContents {
    std::vector<std::wstring> rows;
    std::wstring status;
    bool operator==(const WindowContents&) const = default;
};
// Reads the list and the status line by messages, as another program would.
WindowContents ReadContents(HWND window);

// Selects the first row of the window's tuner list that `matches`, as a user's click does,
// once the list shows one (waiting up to `timeout`). False when none came.
bool ChooseTunerRow(HWND window, const std::function<bool(const std::wstring&)>& matches,
                    std::chrono::milliseconds timeout = 20s);

class CompanionProcess {
public:
    // CreateProcess with the given show command (SW_SHOWNORMAL: an ordinary start).
    static CompanionProcess Start(const std::wstring& exeName, int showCommand);
    // As Romflux does it: ShellExecuteA "open" with "Tools\<exe>" relative to the
    // current directory, which is set to bin for the call, shown as SW_HIDE.
    static CompanionProcess ShellOpenHidden(const std::string& exeName, const std::wstring& className);

    CompanionProcess() = default;
    CompanionProcess(CompanionProcess&& other) noexcept;
    CompanionProcess& operator=(CompanionProcess&& other) noexcept;
    CompanionProcess(const CompanionProcess&) = delete;
    CompanionProcess& operator=(const CompanionProcess&) = delete;
    // A process still running is ended, so that no test leaves one behind.
    ~CompanionProcess();

    bool valid() const noexcept { return process_ != nullptr; }
    DWORD id() const noexcept { return id_; }
    // The process's window of `className`, waiting up to `timeout` for it to appear.
    HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout = 15s) const;
    // True when the process ended within `timeout`; `exitCode` gets its code.
    bool WaitForExit(std::chrono::milliseconds timeout, DWORD* exitCode = nullptr) const;

private:
    void Kill() noexcept;
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

}  // namespace companion_test
