// Helper process for the remote-control tests across processes: runs a device's reader in
// a process of its own. It loads the library by hand, so that it can also unload it.
//
//   library_remote_helper.exe hold <display name> <ready event> <go event>
//       Starts the device's reader with a window of its own, signals ready, then pumps
//       messages until told to go on (or killed), and stops the reader.
//       Exit code: 100 + the keys its window received; 10 + the start's result; 20 + the
//       stop's result.
//   library_remote_helper.exe unload <display name> <ready event> <go event>
//       Starts the reader, signals ready; told to go on, unloads the library and signals
//       ready again (the test resets it in between). Then waits until the reader thread the
//       unload left behind (its read kept by the driver) has ended, which it does when the
//       test presses a key.
//       Exit code: 0; 10 + the start's result; 30 no reader thread left behind; 31 the
//       thread did not end; 32 a key reached the window after the unload.
// Exit codes 200 and above: the helper could not set itself up.
#include <windows.h>
#include <objbase.h>

#include <OmbrelApi.h>

#include "LoadedLibrary.h"
#include "ProcessBasics.h"

#include <string>

namespace {

unsigned long OpenByDisplayName(const libtest::LoadedLibrary& lib, const std::string& name) {
    unsigned long n = 0;
    lib.count(&n);
    for (unsigned long i = 0; i < n; ++i) {
        unsigned long handle = 0;
        char text[OMBREL_DISPLAY_STRING_SIZE] = {};
        if (lib.open(i, &handle) == OB_SUCCESS && lib.displayString(handle, text) == OB_SUCCESS && name == text)
            return handle;
    }
    return 0;
}

int g_keys = 0;
LRESULT CALLBACK KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == OMBREL_MSG_REMOTE_KEY) {
        ++g_keys;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND KeyWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &KeyProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OmbrelRemoteHelper";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// Pumps this thread's messages until the event is set or the time is up.
bool PumpUntilSet(HANDLE event, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const DWORD r = MsgWaitForMultipleObjects(1, &event, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
    }
}

void Pump(DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

int Hold(const libtest::LoadedLibrary& lib, unsigned long handle, HANDLE ready, HANDLE quit) {
    const unsigned long started = lib.remoteStart(handle);
    if (started != OB_SUCCESS) return 10 + static_cast<int>(started);
    SetEvent(ready);
    PumpUntilSet(quit, INFINITE);
    const unsigned long stopped = lib.remoteStop(handle);
    if (stopped != OB_SUCCESS) return 20 + static_cast<int>(stopped);
    Pump(100);  // keys posted before the stop
    return 100 + (g_keys < 99 ? g_keys : 99);
}

int Unload(libtest::LoadedLibrary& lib, unsigned long handle, int threadsBefore, HANDLE ready, HANDLE go) {
    const unsigned long started = lib.remoteStart(handle);
    if (started != OB_SUCCESS) return 10 + static_cast<int>(started);
    SetEvent(ready);
    PumpUntilSet(go, INFINITE);
    FreeLibrary(lib.module);
    SetEvent(ready);
    // The window thread is gone with the library; the reader thread is not.
    if (libtest::CountThreadsOfThisProcess() != threadsBefore + 1) return 30;
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (libtest::CountThreadsOfThisProcess() != threadsBefore) {
        if (GetTickCount64() >= deadline) return 31;
        Pump(20);
    }
    Pump(200);
    return g_keys == 0 ? 0 : 32;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return 201;
    const std::wstring mode = argv[1];
    char name[OMBREL_DISPLAY_STRING_SIZE] = {};
    if (!WideCharToMultiByte(CP_ACP, 0, argv[2], -1, name, sizeof name, nullptr, nullptr)) return 202;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE other = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, argv[4]);
    if (!ready || !other) return 203;

    CoInitialize(nullptr);
    const HWND window = KeyWindow();
    const int threadsBefore = libtest::CountThreadsOfThisProcess();
    libtest::LoadedLibrary lib;
    if (!window || !lib.ok() || lib.initialize() != OB_SUCCESS) return 204;
    const unsigned long handle = OpenByDisplayName(lib, name);
    if (handle == 0 || lib.registerWindow(handle, window) != OB_SUCCESS) return 205;
    if (mode == L"hold") return Hold(lib, handle, ready, other);
    if (mode == L"unload") return Unload(lib, handle, threadsBefore, ready, other);
    return 206;
}
