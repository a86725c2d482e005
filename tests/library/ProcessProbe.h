// What a test can see of the library inside its own process: its threads and its
// hidden window. Header only, so that programs that load the library by hand (and
// do not link the test support, which links the library) can use it too.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

namespace libtest {

// -1 (and a test failure) when the system gives no snapshot.
inline int ThreadsOfThisProcess() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "no thread snapshot, error " << GetLastError();
        return -1;
    }
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

// Every top-level "Ombrel_Api" window that belongs to this process.
inline std::vector<HWND> HiddenWindowsOfThisProcess() {
    std::vector<HWND> found;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Ombrel_Api", nullptr); w;
         w = FindWindowExW(nullptr, w, L"Ombrel_Api", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) found.push_back(w);
    }
    return found;
}

// This process's hidden window, null if none; a test failure if there are several.
inline HWND HiddenWindowOfThisProcess() {
    const std::vector<HWND> found = HiddenWindowsOfThisProcess();
    EXPECT_LE(found.size(), 1u) << "more than one hidden window in this process";
    return found.empty() ? nullptr : found.front();
}

}  // namespace libtest
