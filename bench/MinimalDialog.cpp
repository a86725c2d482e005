// The baseline of Romflux's start-up: a dialog program of the same shape that fills
// its sorted drop-down list (control 1001) while it initialises, and does nothing else.
//
//   bench_minimal_dialog <lines>   fills in that many fixed lines
//   bench_minimal_dialog --floor   runs the platform's discovery floor (each category
//                                  listed, every filter bound, one firmware get per
//                                  tuner) and fills in one line per tuner
#include "PlatformDiscovery.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cwchar>
#include <string>

namespace {

constexpr int kDialog = 100;
constexpr int kList = 1001;

bool g_floor = false;
int g_lines = 0;

void Fill(HWND dialog) {
    HWND list = GetDlgItem(dialog, kList);
    if (g_floor) {
        CoInitialize(nullptr);
        platform::DiscoveryFloor([&](const std::wstring& displayName) {
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(displayName.c_str()));
        });
    } else {
        for (int i = 0; i < g_lines; ++i) {
            const std::wstring line = L"Tuner " + std::to_wstring(i);
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    }
    SendMessageW(list, CB_SETCURSEL, 0, 0);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        Fill(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    g_floor = std::wcscmp(commandLine, L"--floor") == 0;
    if (!g_floor) g_lines = _wtoi(commandLine);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(kDialog), nullptr, DialogProc, 0);
    return 0;
}
