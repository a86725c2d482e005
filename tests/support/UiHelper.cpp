// Stand-in GUI program for tests that drive another process.
//   ui_helper.exe dialog            fixture dialog (combo, list, bar, buttons, a box)
//   ui_helper.exe window <class>    one top-level window of that class; ends on WM_DESTROY
//   ui_helper.exe hung <class>      such a window whose thread stops answering
//   <copy>.exe                      (no arguments) a window whose class follows the copy's
//                                   file name: TalvexRemote.exe and TalvexCI.exe stand in
//                                   for the companion programs
// A window's caption tells the test how the program was started:
//   cwd=<current directory>|show=<wShowWindow or -1>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "UiHelper.h"

namespace {

INT_PTR CALLBACK FixtureProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        HWND combo = GetDlgItem(dialog, UIHELPER_COMBO);
        for (const wchar_t* line : {L"Charlie", L"alpha", L"Bravo", L"Z\u00FCrich"}) {
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        }
        HWND list = GetDlgItem(dialog, UIHELPER_LIST);
        for (const wchar_t* line : {L" two", L" one", L" three"}) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        }
        SendDlgItemMessageW(dialog, UIHELPER_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == UIHELPER_COMBO && HIWORD(wParam) == CBN_SELCHANGE) {
            HWND combo = GetDlgItem(dialog, UIHELPER_COMBO);
            LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            wchar_t text[128] = {};
            if (index != CB_ERR) SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
            SetDlgItemTextW(dialog, UIHELPER_ECHO, text);
            return TRUE;
        }
        if (LOWORD(wParam) == UIHELPER_SHOW_BOX && HIWORD(wParam) == BN_CLICKED) {
            MessageBoxW(dialog, UIHELPER_BOX_TEXT, UIHELPER_BOX_CAPTION, MB_OK | MB_ICONEXCLAMATION);
            SetDlgItemTextW(dialog, UIHELPER_ECHO, UIHELPER_ACKNOWLEDGED);
            return TRUE;
        }
        if (LOWORD(wParam) == UIHELPER_ADVANCE && HIWORD(wParam) == BN_CLICKED) {
            SendDlgItemMessageW(dialog, UIHELPER_PROGRESS, PBM_DELTAPOS, 25, 0);
            return TRUE;
        }
        if (LOWORD(wParam) == UIHELPER_DISABLED) {
            SetDlgItemTextW(dialog, UIHELPER_ECHO, L"disabled button fired");
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 7);
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring StartCaption() {
    wchar_t directory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    return std::wstring(L"cwd=") + directory + L"|show=" + std::to_wstring(show);
}

HWND CreateClassWindow(HINSTANCE instance, const std::wstring& className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassW(&windowClass)) return nullptr;
    return CreateWindowExW(0, className.c_str(), StartCaption().c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                           200, 100, nullptr, nullptr, instance, nullptr);
}

int RunWindow(HINSTANCE instance, const std::wstring& className) {
    if (!CreateClassWindow(instance, className)) return 2;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int RunHung(HINSTANCE instance, const std::wstring& className) {
    if (!CreateClassWindow(instance, className)) return 2;
    // The window exists but its thread never reads a message again; the test kills
    // the process, and it gives up on its own after two minutes.
    Sleep(120000);
    return 3;
}

std::wstring OwnFileName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring mode = count > 1 ? arguments[1] : L"";
    std::wstring className = count > 2 ? arguments[2] : L"";
    LocalFree(arguments);

    if (mode == L"dialog") {
        return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(UIHELPER_DIALOG), nullptr,
                                                FixtureProc, 0));
    }
    if (mode == L"window" && !className.empty()) return RunWindow(instance, className);
    if (mode == L"hung" && !className.empty()) return RunHung(instance, className);
    if (mode.empty()) {
        std::wstring own = OwnFileName();
        if (lstrcmpiW(own.c_str(), L"TalvexRemote.exe") == 0) return RunWindow(instance, L"Talvex Remote Control");
        if (lstrcmpiW(own.c_str(), L"TalvexCI.exe") == 0) return RunWindow(instance, L"Talvex Common Interface");
    }
    return 1;
}
