#include "CompanionProcess.h"

#include <shellapi.h>

#include <algorithm>
#include <thread>

#include "CompanionIds.h"
#include "UiDriver.h"

namespace companion_test {
namespace {

constexpr UINT kMessageTimeoutMs = 5000;

struct Search {
    const std::wstring* className;
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t name[512] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    if (*search->className == name) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (search->processId == 0 || owner == search->processId) {
            search->found.push_back(window);
        }
    }
    return TRUE;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

}  // namespace

std::wstring BinDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    directory.erase(directory.find_last_of(L"\\/") + 1);
    return directory;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
}

std::vector<HWND> FindWindowsOfClass(const std::wstring& className, DWORD processId) {
    Search search{&className, processId, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool EndProcessesWithWindowOfClass(const std::wstring& className) {
    for (HWND window : FindWindowsOfClass(className)) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result);
        if (process != nullptr) {
            if (WaitForSingleObject(process, 10000) == WAIT_TIMEOUT) {
                TerminateProcess(process, 99);
                WaitForSingleObject(process, 5000);
            }
            CloseHandle(process);
        }
    }
    return WaitFor([&] { return FindWindowsOfClass(className).empty(); }, 5s);
}

WindowContents ReadContents(HWND window) {
    WindowContents contents;
    const HWND list = GetDlgItem(window, companion::kTunerListId);
    const HWND status = GetDlgItem(window, companion::kStatusId);
    const LRESULT count = list ? Send(list, LB_GETCOUNT, 0, 0) : -1;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = Send(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) {
            break;
        }
        // Wide text: the ANSI variant arrives cut short from another process.
        std::wstring row(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied = Send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row.data()));
        row.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        contents.rows.push_back(row);
    }
    if (status) {
        wchar_t text[512] = {};
        Send(status, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
        contents.status = text;
    }
    return contents;
}

bool ChooseTunerRow(HWND window, const std::function<bool(const std::wstring&)>& matches,
                    std::chrono::milliseconds timeout) {
    const HWND list = GetDlgItem(window, companion::kTunerListId);
    int index = -1;
    WaitFor(
        [&] {
            const auto rows = uidriver::ListBoxLines(list);
            const auto found = std::find_if(rows.begin(), rows.end(), matches);
            index = found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
            return index >= 0;
        },
        timeout);
    return index >= 0 && uidriver::SelectListBoxLine(list, index);
}

CompanionProcess CompanionProcess::Start(const std::wstring& exeName, int showCommand) {
    const std::wstring tools = BinDirectory() + L"Tools\\";
    std::wstring commandLine = L"\"" + tools + exeName + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION info{};
    CompanionProcess process;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, tools.c_str(), &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process.process_ = info.hProcess;
        process.id_ = info.dwProcessId;
    }
    return process;
}

CompanionProcess CompanionProcess::ShellOpenHidden(const std::string& exeName, const std::wstring& className) {
    CompanionProcess process;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(BinDirectory().c_str());
    const std::string file = "Tools\\" + exeName;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", file.c_str(), "", "Tools\\", SW_HIDE));
    SetCurrentDirectoryW(previous);
    if (result <= 32) {
        return process;
    }
    // ShellExecuteA gives no process: take the one that owns the new window.
    std::vector<HWND> windows;
    WaitFor([&] { return !(windows = FindWindowsOfClass(className)).empty(); }, 15s);
    if (windows.size() != 1) {
        return process;
    }
    DWORD id = 0;
    GetWindowThreadProcessId(windows.front(), &id);
    process.process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id);
    process.id_ = process.process_ ? id : 0;
    return process;
}

CompanionProcess::CompanionProcess(CompanionProcess&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
    other.id_ = 0;
}

CompanionProcess& CompanionProcess::operator=(CompanionProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = other.process_;
        id_ = other.id_;
        other.process_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

CompanionProcess::~CompanionProcess() { Kill(); }

void CompanionProcess::Kill() noexcept {
    if (process_ == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    id_ = 0;
}

HWND CompanionProcess::WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout) const {
    HWND window = nullptr;
    WaitFor(
        [&] {
            const auto windows = FindWindowsOfClass(className, id_);
            window = windows.empty() ? nullptr : windows.front();
            return window != nullptr;
        },
        timeout);
    return window;
}

bool CompanionProcess::WaitForExit(std::chrono::milliseconds timeout, DWORD* exitCode) const {
    if (process_ == nullptr ||
        WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return false;
    }
    if (exitCode != nullptr) {
        GetExitCodeProcess(process_, exitCode);
    }
    return true;
}

}  // namespace companion_test
