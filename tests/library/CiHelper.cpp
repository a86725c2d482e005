// Helper process for the cross-process Common Interface tests: a second user of the
// library that holds a device's session, or opens and closes it over and over.
//
//   library_ci_helper.exe hold <display name> <ready event> <release event> close|leave
//       Opens the session and signals; on release closes it (close), or ends the
//       process normally with it still open and the device's remote-control reader
//       running too (leave). Exit code: OB_CI_Open's result.
//   library_ci_helper.exe churn <display name> <go event> <milliseconds> <tally mapping>
//       Opens and closes the session until the time is up, counting in the tally.
//       Exit code 0.
// Exit codes from 200 on: the set-up failed.
#include <windows.h>
#include <objbase.h>
#include <OmbrelApi.h>

#include <string>

#include "CiTally.h"

namespace {

std::string Narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

unsigned long OpenDevice(const std::string& displayName) {
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    for (unsigned long i = 0; i < count; ++i) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(i, &handle) != OB_SUCCESS) continue;
        char name[OMBREL_DISPLAY_STRING_SIZE] = {};
        if (OB_GetDisplayString(handle, name) == OB_SUCCESS && displayName == name) return handle;
        OB_CloseDeviceHandle(handle);
    }
    return 0;
}

// A message-only window for the session's messages, emptied now and then.
HWND MessageWindow() {
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

void Pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount64() < end);
}

int Hold(unsigned long handle, const wchar_t* ready, const wchar_t* release, const std::wstring& ending) {
    HANDLE readyEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, ready);
    HANDLE releaseEvent = OpenEventW(SYNCHRONIZE, FALSE, release);
    if (!readyEvent || !releaseEvent) return 210;
    OB_RegisterNotifications(handle, MessageWindow());
    const unsigned long opened = OB_CI_Open(handle);
    if (opened == OB_SUCCESS && ending == L"leave" && OB_RemoteControl_Start(handle) != OB_SUCCESS) return 212;
    SetEvent(readyEvent);
    if (opened != OB_SUCCESS) return static_cast<int>(opened);
    while (MsgWaitForMultipleObjects(1, &releaseEvent, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) Pump(0);
    if (ending == L"close" && OB_CI_Close(handle) != OB_SUCCESS) return 211;
    return 0;  // "leave": the process ends with the session open and the reader running
}

int Churn(unsigned long handle, const wchar_t* go, DWORD durationMs, const wchar_t* tallyName) {
    HANDLE goEvent = OpenEventW(SYNCHRONIZE, FALSE, go);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, tallyName);
    auto* tally = mapping ? static_cast<citest::Tally*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
    if (!goEvent || !tally) return 220;
    OB_RegisterNotifications(handle, MessageWindow());
    if (WaitForSingleObject(goEvent, 30000) != WAIT_OBJECT_0) return 221;
    const ULONGLONG end = GetTickCount64() + durationMs;
    DWORD round = GetCurrentProcessId();
    while (GetTickCount64() < end) {
        const unsigned long result = OB_CI_Open(handle);
        if (result == OB_SUCCESS) {
            if (InterlockedIncrement(&tally->holders) > 1) InterlockedIncrement(&tally->overlaps);
            InterlockedIncrement(&tally->opened);
            OB_CI_SetPollingIntervall(handle, 50);
            Pump(10 + (round++ * 7) % 60);  // long enough for a poll now and then
            InterlockedDecrement(&tally->holders);
            if (OB_CI_Close(handle) != OB_SUCCESS) InterlockedIncrement(&tally->closeFailures);
        } else if (result == OB_IN_USE) {
            InterlockedIncrement(&tally->refused);
        } else {
            InterlockedIncrement(&tally->unexpected);
        }
        Pump(1 + round % 5);
    }
    UnmapViewOfFile(tally);
    CloseHandle(mapping);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) return 201;
    CoInitialize(nullptr);
    if (OB_Initialize() != OB_SUCCESS) return 202;
    const unsigned long handle = OpenDevice(Narrow(argv[2]));
    if (handle == 0) return 203;
    const std::wstring mode = argv[1];
    if (mode == L"hold") return Hold(handle, argv[3], argv[4], argv[5]);
    if (mode == L"churn") return Churn(handle, argv[3], static_cast<DWORD>(_wtoi(argv[4])), argv[5]);
    return 204;
}
