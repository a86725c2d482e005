// What a test can see of the library inside its own process: its threads and its
// hidden window. Header only, so that programs that load the library by hand (and
// do not link the test support, which links the library) can use it too.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "ProcessBasics.h"

#include <vector>

namespace libtest {

// -1 (and a test failure) when the system gives no snapshot.
inline int ThreadsOfThisProcess() {
    const int n = CountThreadsOfThisProcess();
    if (n < 0) ADD_FAILURE() << "no thread snapshot, error " << GetLastError();
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
