// shotdriver: small steps that scripts/screenshots.sh strings together to put the
// programs into the states it photographs (the installer test uses it too, to see the
// installed Romflux from outside). Each step waits with a bound and exits 0
// on success, 1 when the state was not reached (with the reason on stderr), 2 on bad
// arguments. A caption "-" stands for any caption, one ending in '*' for a prefix.
//
//   shotdriver wait <class|-> <caption|-> <ms>        a visible top-level window
//   shotdriver destroy <class> <ms>                   WM_DESTROY to each window of the class, wait until gone
//   shotdriver syscommand <class> <caption> <command>  post WM_SYSCOMMAND (decimal or 0x hex)
//   shotdriver select <class> <caption> <id> <index>   choose a combo box line
//   shotdriver pick <class> <caption> <id> <text> <ms>  choose the list box line that holds text
//   shotdriver lines <class> <caption> <id> <min> <ms>  wait until a list or combo box has min lines, print them
//   shotdriver settext <class> <caption> <id> <text>   put text into a control (an edit: as typed)
//   shotdriver text <class> <caption> <id> <text> <ms> wait until a control shows text ('*' ending: prefix)
//   shotdriver click <class> <caption> <id>            click a button
//   shotdriver progress <class> <caption> <id> <min> <ms>  wait until a progress bar reaches min
//   shotdriver messagebox <caption> <ms>               wait for a message box with that caption
//   shotdriver ok <caption> <ms>                       press OK in that message box, wait until gone
//   shotdriver timing <durationMs> <holdMs>            update timing of every simulated box
//   shotdriver rect <class|-> <caption|-> [...]        print the windows' joint rectangle as WxH+X+Y
//   shotdriver close <class|-> <caption|->             post WM_CLOSE to a visible window
//   shotdriver front <class|-> <caption|->             center a window on the desktop, activate it
//   shotdriver list                                   print every top-level window (for finding names)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include <TunerSimControl.h>
#include <UiDriver.h>

namespace {

constexpr int kDone = 0;
constexpr int kNotReached = 1;
constexpr int kUsage = 2;

const wchar_t* OrAny(const std::wstring& text) { return text == L"-" ? nullptr : text.c_str(); }

unsigned long Number(const std::wstring& text) { return std::wcstoul(text.c_str(), nullptr, 0); }

int Fail(const wchar_t* what, const std::wstring& detail) {
    std::fwprintf(stderr, L"shotdriver: %ls: %ls\n", what, detail.c_str());
    return kNotReached;
}

// A caption ending in '*' matches every caption that begins with the text before it
// (captions that a program completes at run time).
bool TextMatches(const std::wstring& text, const std::wstring& pattern) {
    if (!pattern.empty() && pattern.back() == L'*') {
        return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    }
    return text == pattern;
}

bool CaptionMatches(HWND window, const std::wstring& caption) {
    return caption == L"-" || TextMatches(uidriver::WindowText(window), caption);
}

HWND VisibleWindow(const std::wstring& className, const std::wstring& caption) {
    for (HWND window : uidriver::TopLevelWindows(0, OrAny(className))) {
        if (IsWindowVisible(window) && CaptionMatches(window, caption)) {
            return window;
        }
    }
    return nullptr;
}

HWND WaitVisible(const std::wstring& className, const std::wstring& caption, DWORD timeoutMs) {
    HWND window = nullptr;
    uidriver::WaitUntil([&] { return (window = VisibleWindow(className, caption)) != nullptr; }, timeoutMs);
    return window;
}

HWND MessageBoxWithCaption(const std::wstring& caption) {
    for (HWND box : uidriver::MessageBoxes(0)) {
        if (IsWindowVisible(box) && uidriver::MessageBoxCaption(box) == caption) {
            return box;
        }
    }
    return nullptr;
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty()) {
        return kUsage;
    }
    const std::wstring& step = args[0];
    const size_t n = args.size();
    if (step == L"wait" && n == 4) {
        return WaitVisible(args[1], args[2], Number(args[3])) ? kDone : Fail(L"no such window", args[1]);
    }
    if (step == L"destroy" && n == 3) {
        const auto windows = uidriver::WindowsOfClass(args[1].c_str());
        if (windows.empty()) {
            return Fail(L"no window of class", args[1]);
        }
        for (HWND window : windows) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_DESTROY, 0, 0, SMTO_NORMAL, 5000, &result);
        }
        return uidriver::WaitUntil([&] { return uidriver::WindowsOfClass(args[1].c_str()).empty(); },
                                   Number(args[2]))
                   ? kDone
                   : Fail(L"windows stayed", args[1]);
    }
    if (step == L"syscommand" && n == 4) {
        const HWND window = VisibleWindow(args[1], args[2]);
        if (!window) {
            return Fail(L"no such window", args[2]);
        }
        uidriver::SendSystemCommand(window, Number(args[3]));
        return kDone;
    }
    if (step == L"select" && n == 5) {
        const HWND window = VisibleWindow(args[1], args[2]);
        if (!window) {
            return Fail(L"no such window", args[2]);
        }
        return uidriver::SelectComboLine(uidriver::Control(window, static_cast<int>(Number(args[3]))),
                                         static_cast<int>(Number(args[4])))
                   ? kDone
                   : Fail(L"cannot select", args[4]);
    }
    if (step == L"settext" && n == 5) {
        const HWND window = VisibleWindow(args[1], args[2]);
        const HWND control = window ? uidriver::Control(window, static_cast<int>(Number(args[3]))) : nullptr;
        if (!control) {
            return Fail(L"no such control", args[3]);
        }
        return uidriver::SetControlText(control, args[4]) ? kDone : Fail(L"cannot set text", args[4]);
    }
    if (step == L"text" && n == 6) {
        const HWND window = VisibleWindow(args[1], args[2]);
        const HWND control = window ? uidriver::Control(window, static_cast<int>(Number(args[3]))) : nullptr;
        if (!control) {
            return Fail(L"no such control", args[3]);
        }
        return uidriver::WaitUntil([&] { return TextMatches(uidriver::WindowText(control), args[4]); },
                                   Number(args[5]))
                   ? kDone
                   : Fail(L"text not shown", args[4]);
    }
    if (step == L"pick" && n == 6) {
        const HWND window = VisibleWindow(args[1], args[2]);
        const HWND list = window ? uidriver::Control(window, static_cast<int>(Number(args[3]))) : nullptr;
        if (!list) {
            return Fail(L"no such list box", args[3]);
        }
        int index = -1;
        const auto found = [&] {
            const auto lines = uidriver::ListBoxLines(list);
            for (size_t i = 0; i < lines.size() && index < 0; ++i) {
                if (lines[i].find(args[4]) != std::wstring::npos) {
                    index = static_cast<int>(i);
                }
            }
            return index >= 0;
        };
        if (!uidriver::WaitUntil(found, Number(args[5]))) {
            return Fail(L"no such line", args[4]);
        }
        return uidriver::SelectListBoxLine(list, index) ? kDone : Fail(L"cannot pick", args[4]);
    }
    if (step == L"lines" && n == 6) {
        const HWND window = VisibleWindow(args[1], args[2]);
        const HWND control = window ? uidriver::Control(window, static_cast<int>(Number(args[3]))) : nullptr;
        wchar_t kind[32] = {};
        if (control) {
            GetClassNameW(control, kind, 32);
        }
        const bool combo = _wcsicmp(kind, L"ComboBox") == 0;
        if (!combo && _wcsicmp(kind, L"ListBox") != 0) {
            return Fail(L"no such list or combo box", args[3]);
        }
        std::vector<std::wstring> lines;
        const bool enough = uidriver::WaitUntil(
            [&] {
                lines = combo ? uidriver::ComboLines(control) : uidriver::ListBoxLines(control);
                return lines.size() >= Number(args[4]);
            },
            Number(args[5]));
        for (const auto& line : lines) {
            std::printf("%s\n", uidriver::Narrow(line).c_str());
        }
        return enough ? kDone : Fail(L"too few lines", args[4]);
    }
    if (step == L"click" && n == 4) {
        const HWND window = VisibleWindow(args[1], args[2]);
        const HWND button = window ? uidriver::Control(window, static_cast<int>(Number(args[3]))) : nullptr;
        if (!button) {
            return Fail(L"no such button", args[3]);
        }
        uidriver::ClickButton(button);
        return kDone;
    }
    if (step == L"progress" && n == 6) {
        const HWND window = VisibleWindow(args[1], args[2]);
        const HWND bar = window ? uidriver::Control(window, static_cast<int>(Number(args[3]))) : nullptr;
        if (!bar) {
            return Fail(L"no such progress bar", args[3]);
        }
        const int minimum = static_cast<int>(Number(args[4]));
        return uidriver::WaitUntil(
                   [&] {
                       const auto position = uidriver::ProgressPosition(bar);
                       return position && *position >= minimum;
                   },
                   Number(args[5]))
                   ? kDone
                   : Fail(L"progress not reached", args[4]);
    }
    if (step == L"messagebox" && n == 3) {
        return uidriver::WaitUntil([&] { return MessageBoxWithCaption(args[1]) != nullptr; }, Number(args[2]))
                   ? kDone
                   : Fail(L"no message box", args[1]);
    }
    if (step == L"ok" && n == 3) {
        const HWND box = MessageBoxWithCaption(args[1]);
        if (!box) {
            return Fail(L"no message box", args[1]);
        }
        return uidriver::PressOk(box, Number(args[2])) ? kDone : Fail(L"message box stayed", args[1]);
    }
    if (step == L"rect" && n >= 3 && n % 2 == 1) {
        RECT joint{};
        for (size_t i = 1; i + 1 < n; i += 2) {
            const HWND window = VisibleWindow(args[i], args[i + 1]);
            RECT rect{};
            if (!window || !GetWindowRect(window, &rect)) {
                return Fail(L"no such window", args[i + 1]);
            }
            UnionRect(&joint, &joint, &rect);
        }
        std::printf("%ldx%ld+%ld+%ld\n", joint.right - joint.left, joint.bottom - joint.top, joint.left, joint.top);
        return kDone;
    }
    if (step == L"close" && n == 3) {
        const HWND window = VisibleWindow(args[1], args[2]);
        if (!window) {
            return Fail(L"no such window", args[2]);
        }
        uidriver::RequestClose(window);
        return kDone;
    }
    if (step == L"front" && n == 3) {
        const HWND window = VisibleWindow(args[1], args[2]);
        RECT rect{};
        RECT desktop{};
        if (!window || !GetWindowRect(window, &rect) || !GetWindowRect(GetDesktopWindow(), &desktop)) {
            return Fail(L"no such window", args[2]);
        }
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        SetWindowPos(window, HWND_TOP, (desktop.right - width) / 2, (desktop.bottom - height) / 2, 0, 0,
                     SWP_NOSIZE);
        SetForegroundWindow(window);
        return kDone;
    }
    if (step == L"list" && n == 1) {
        for (HWND window : uidriver::TopLevelWindows(0)) {
            std::wprintf(L"%ls\t\"%ls\"\t%ls\tprocess %lu\n", uidriver::WindowClassName(window).c_str(),
                         uidriver::WindowText(window).c_str(), IsWindowVisible(window) ? L"visible" : L"hidden",
                         uidriver::WindowProcessId(window));
        }
        return kDone;
    }
    if (step == L"timing" && n == 3) {
        const auto durationMs = static_cast<uint32_t>(Number(args[1]));
        const auto holdMs = static_cast<uint32_t>(Number(args[2]));
        const auto devices = tunersim::List();
        if (devices.empty()) {
            return Fail(L"no simulated box", L"timing");
        }
        for (const auto& device : devices) {
            tunersim::SetUpdateTiming(device.profile.id, durationMs, holdMs);
        }
        return kDone;
    }
    return kUsage;
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    if (raw == nullptr) {
        return kUsage;
    }
    std::vector<std::wstring> args(raw + (count > 0 ? 1 : 0), raw + count);
    LocalFree(raw);
    try {
        const int result = Run(args);
        if (result == kUsage) {
            std::fwprintf(stderr, L"shotdriver: unknown step or wrong arguments (see the source's head)\n");
        }
        return result;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "shotdriver: %s\n", error.what());
        return kNotReached;
    }
}
