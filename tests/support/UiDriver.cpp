#include "UiDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <utility>

namespace uidriver {
namespace {

// Every cross-process send is bounded: a hung program must fail a test, not hang it.
constexpr UINT kSendTimeoutMs = 5000;

bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &answer)) {
        return false;
    }
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

struct EnumContext {
    DWORD processId;  // 0: any process
    const wchar_t* className;
    const wchar_t* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<EnumContext*>(context);
    if (search.processId != 0 && WindowProcessId(window) != search.processId) return TRUE;
    if (search.className && WindowClassName(window) != search.className) return TRUE;
    if (search.caption && WindowText(window) != search.caption) return TRUE;
    search.found.push_back(window);
    return TRUE;
}

std::wstring LastErrorText(const wchar_t* what) {
    return std::wstring(what) + L" failed, error " + std::to_wstring(GetLastError());
}

HWND MessageTextControl(HWND box) {
    // The message text is a static control with id 0xFFFF; compare the low word, since
    // the id may be stored sign-extended.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((static_cast<unsigned>(GetDlgCtrlID(child)) & 0xFFFF) == 0xFFFF &&
            WindowClassName(child) == L"Static") {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

// ---- Process ---------------------------------------------------------------

Process::~Process() { Release(); }

Process::Process(Process&& other) noexcept
    : m_job(std::exchange(other.m_job, nullptr)),
      m_process(std::exchange(other.m_process, nullptr)),
      m_processId(std::exchange(other.m_processId, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Release();
        m_job = std::exchange(other.m_job, nullptr);
        m_process = std::exchange(other.m_process, nullptr);
        m_processId = std::exchange(other.m_processId, 0);
    }
    return *this;
}

void Process::Release() {
    Kill();
    if (m_process) CloseHandle(m_process);
    if (m_job) CloseHandle(m_job);
    m_process = nullptr;
    m_job = nullptr;
    m_processId = 0;
}

Process Process::Launch(const std::wstring& exe, const std::wstring& arguments,
                        const std::wstring& workingDirectory) {
    Process started;
    started.m_job = CreateJobObjectW(nullptr, nullptr);
    if (started.m_job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(started.m_job, JobObjectExtendedLimitInformation, &limits,
                                     sizeof(limits))) {
            CloseHandle(started.m_job);
            started.m_job = nullptr;
        }
    }

    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup,
                        &info)) {
        std::wstring reason = LastErrorText(L"CreateProcess");
        throw std::runtime_error(Narrow(L"cannot start " + exe + L": " + reason));
    }
    // Without a job the process is still ended through its handle.
    if (started.m_job && !AssignProcessToJobObject(started.m_job, info.hProcess)) {
        CloseHandle(started.m_job);
        started.m_job = nullptr;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    started.m_process = info.hProcess;
    started.m_processId = info.dwProcessId;
    return started;
}

bool Process::IsRunning() const {
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(DWORD timeoutMs) const {
    if (!m_process) return std::nullopt;
    if (!WaitUntil([this] { return !IsRunning(); }, timeoutMs)) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(m_process, &code)) return std::nullopt;
    return code;
}

void Process::Kill() {
    if (m_job) TerminateJobObject(m_job, 1);
    if (m_process && IsRunning()) TerminateProcess(m_process, 1);
    if (m_process) WaitForSingleObject(m_process, 5000);
}

// ---- waiting ---------------------------------------------------------------

std::wstring BinDirectory() {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    std::wstring name(path, length);
    size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : name.substr(0, slash + 1);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD intervalMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (done()) return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(intervalMs, deadline - now));
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
}

// ---- windows ---------------------------------------------------------------

DWORD WindowProcessId(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

ULONGLONG ProcessCreationTime(DWORD processId) {
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || !GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool EndOwnersOfWindowsOfClass(const wchar_t* className, DWORD timeoutMs) {
    for (HWND window : WindowsOfClass(className)) {
        ScopedHandle process(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, WindowProcessId(window)));
        if (process && TerminateProcess(process.get(), 1)) {
            WaitForSingleObject(process.get(), timeoutMs);
        }
    }
    return WaitUntil([className] { return WindowsOfClass(className).empty(); }, timeoutMs);
}

std::wstring WindowClassName(HWND window) {
    wchar_t name[512] = {};
    int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, length > 0 ? length : 0);
}

std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className,
                                  const wchar_t* caption) {
    EnumContext search{processId, className, caption, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> WindowsOfClass(const wchar_t* className) {
    return TopLevelWindows(0, className, nullptr);
}

HWND FindTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* caption) {
    std::vector<HWND> found = TopLevelWindows(processId, className, caption);
    return found.empty() ? nullptr : found.front();
}

HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* caption,
                           DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevelWindow(processId, className, caption)) != nullptr; },
              timeoutMs);
    return found;
}

std::wstring WindowText(HWND window) {
    LRESULT length = 0;
    if (!SendBounded(window, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                     &copied)) {
        return {};
    }
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

HWND Control(HWND dialog, int controlId) { return GetDlgItem(dialog, controlId); }

std::wstring ControlText(HWND dialog, int controlId) {
    HWND control = Control(dialog, controlId);
    return control ? WindowText(control) : std::wstring();
}

bool IsEnabled(HWND window) { return window && IsWindowEnabled(window); }
bool IsVisible(HWND window) { return window && IsWindowVisible(window); }

// ---- combo and list boxes ---------------------------------------------------

std::vector<std::wstring> ComboLines(HWND combo) {
    std::vector<std::wstring> lines;
    LRESULT count = 0;
    if (!SendBounded(combo, CB_GETCOUNT, 0, 0, &count) || count <= 0) return lines;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        if (!SendBounded(combo, CB_GETLBTEXTLEN, i, 0, &length) || length < 0) {
            lines.emplace_back();
            continue;
        }
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = 0;
        if (!SendBounded(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), &copied) ||
            copied < 0) {
            copied = 0;
        }
        text.resize(static_cast<size_t>(copied));
        lines.push_back(std::move(text));
    }
    return lines;
}

int ComboSelection(HWND combo) {
    LRESULT selection = CB_ERR;
    if (!SendBounded(combo, CB_GETCURSEL, 0, 0, &selection)) return -1;
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

std::wstring ComboSelectedText(HWND combo) {
    int selection = ComboSelection(combo);
    if (selection < 0) return {};
    std::vector<std::wstring> lines = ComboLines(combo);
    return static_cast<size_t>(selection) < lines.size() ? lines[selection] : std::wstring();
}

namespace {

// Tells a control's parent of a change, as the control itself does after a user's choice.
bool NotifyParent(HWND control, WORD code) {
    return SendBounded(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                       reinterpret_cast<LPARAM>(control), nullptr);
}

}  // namespace

bool SelectComboLine(HWND combo, int index) {
    LRESULT result = CB_ERR;
    if (!SendBounded(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &result) ||
        result == CB_ERR) {
        return false;
    }
    return NotifyParent(combo, CBN_SELCHANGE);
}

bool SelectListBoxLine(HWND listBox, int index) {
    LRESULT result = LB_ERR;
    if (!SendBounded(listBox, LB_SETCURSEL, static_cast<WPARAM>(index), 0, &result) || result == LB_ERR) {
        return false;
    }
    return NotifyParent(listBox, LBN_SELCHANGE);
}

std::vector<std::wstring> ListBoxLines(HWND listBox) {
    std::vector<std::wstring> lines;
    LRESULT count = 0;
    if (!SendBounded(listBox, LB_GETCOUNT, 0, 0, &count) || count <= 0) return lines;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        if (!SendBounded(listBox, LB_GETTEXTLEN, i, 0, &length) || length < 0) {
            lines.emplace_back();
            continue;
        }
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = 0;
        if (!SendBounded(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()), &copied) ||
            copied < 0) {
            copied = 0;
        }
        text.resize(static_cast<size_t>(copied));
        lines.push_back(std::move(text));
    }
    return lines;
}

int ListBoxSelection(HWND listBox) {
    LRESULT selection = LB_ERR;
    if (!SendBounded(listBox, LB_GETCURSEL, 0, 0, &selection)) return -1;
    return selection == LB_ERR ? -1 : static_cast<int>(selection);
}

bool SetControlText(HWND control, const std::wstring& text) {
    LRESULT result = FALSE;
    return SendBounded(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result) && result;
}

// ---- progress bar -----------------------------------------------------------

std::optional<int> ProgressPosition(HWND progress) {
    LRESULT position = 0;
    if (!progress || !SendBounded(progress, PBM_GETPOS, 0, 0, &position)) return std::nullopt;
    return static_cast<int>(position);
}

std::optional<std::pair<int, int>> ProgressRange(HWND progress) {
    LRESULT low = 0;
    LRESULT high = 0;
    if (!progress || !SendBounded(progress, PBM_GETRANGE, TRUE, 0, &low) ||
        !SendBounded(progress, PBM_GETRANGE, FALSE, 0, &high)) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<int>(low), static_cast<int>(high));
}

// ---- actions ----------------------------------------------------------------

void ClickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void SendSystemCommand(HWND window, WPARAM command) {
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
}

void RequestClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

// ---- message boxes ----------------------------------------------------------

std::vector<HWND> MessageBoxes(DWORD processId, HWND exclude) {
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows(processId, L"#32770")) {
        // A box is listed once it is shown: while it is still being created its
        // text control may exist with the text not yet set.
        if (window != exclude && IsWindowVisible(window) && MessageTextControl(window)) {
            boxes.push_back(window);
        }
    }
    return boxes;
}

HWND FindMessageBox(DWORD processId, HWND exclude) {
    std::vector<HWND> boxes = MessageBoxes(processId, exclude);
    return boxes.empty() ? nullptr : boxes.front();
}

HWND WaitForMessageBox(DWORD processId, HWND exclude, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(processId, exclude)) != nullptr; }, timeoutMs);
    return box;
}

std::wstring MessageBoxText(HWND box) {
    HWND text = MessageTextControl(box);
    return text ? WindowText(text) : std::wstring();
}

std::wstring MessageBoxCaption(HWND box) { return WindowText(box); }

bool PressOk(HWND box, DWORD timeoutMs) {
    if (!IsWindow(box)) return false;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return WaitUntil([box] { return !IsWindow(box); }, timeoutMs);
}

// ---- text -------------------------------------------------------------------

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

}  // namespace uidriver
