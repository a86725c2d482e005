#include "SystemFigures.h"

#include "HandleCensus.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <map>
#include <string>

namespace stress {
namespace {

// Handles by type come from the system's handle table (the census). Measured: Wine 8
// answers it and fills the type index; GetProcessHandleCount answers 0 there, so it is
// not used.
std::map<std::string, long> HandlesByType(HANDLE process) {
    const auto census = handles::TakeCensus(process);
    return census ? census->byType : std::map<std::string, long>{};
}

long ThreadCount(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return kUnknown;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == processId;
    }
    CloseHandle(snapshot);
    return count;
}

// Private (committed, process-owned) memory. Wine leaves PrivateUsage 0 in this record
// and reports the private pages as page-file usage, which on Windows is the same
// commit charge.
std::uint64_t PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) return 0;
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

// The simulator's filter DLL counts its live objects; it is loaded into this process
// by the system device enumerator when a filter is first bound.
long LiveFilterObjects() {
    HMODULE filter = GetModuleHandleW(L"TalvexSimFilter.dll");
    if (!filter) return 0;  // never loaded: no filter object can exist
    using Count = long(WINAPI*)();
    const auto count = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(filter, "TalvexSimLiveObjects")));
    return count ? count() : kUnknown;
}

}  // namespace

Sample SampleProcess(HANDLE process) {
    Sample sample;
    sample.handlesByType = HandlesByType(process);
    sample.threads = ThreadCount(GetProcessId(process));
    sample.privateBytes = PrivateBytes(process);
    if (GetProcessId(process) == GetCurrentProcessId()) sample.filterObjects = LiveFilterObjects();
    return sample;
}

Sample SampleThisProcess() { return SampleProcess(GetCurrentProcess()); }

Sample SampleThisProcessAtRest(DWORD timeoutMs) {
    // The library's first scans run on two threads; the one on its window thread may
    // still bind filters after the other has returned.
    constexpr ULONGLONG kQuietMs = 2000;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    ULONGLONG quietSince = GetTickCount64();
    while (GetTickCount64() < end) {
        if (LiveFilterObjects() != 0) quietSince = GetTickCount64();
        if (GetTickCount64() - quietSince >= kQuietMs) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return SampleThisProcess();
}

}  // namespace stress
