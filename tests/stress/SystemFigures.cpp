#include "SystemFigures.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace stress {
namespace {

// The system's handle table (SystemExtendedHandleInformation): unlike the older class
// it keeps handle values and process ids whole, which a process with hundreds of
// thousands of handles needs. Measured: Wine 8 answers both classes and fills the type
// index; GetProcessHandleCount answers 0 there, so it is not used.
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectTypeInformation = 2;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry handles[1];
};
struct TypeInformation {
    UNICODE_STRING typeName;
    ULONG rest[32];
};

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryObject = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <class F>
F NtFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

std::vector<char> SystemHandles() {
    static const auto query = NtFunction<QuerySystemInformation>("NtQuerySystemInformation");
    std::vector<char> buffer(1 << 20);
    if (!query) return {};
    for (int attempt = 0; attempt < 16; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + (1 << 16)));
            continue;
        }
        if (status < 0) return {};
        return buffer;
    }
    return {};
}

std::string TypeNameOf(HANDLE handle) {
    static const auto query = NtFunction<QueryObject>("NtQueryObject");
    TypeInformation info{};
    ULONG length = 0;
    if (!query || query(handle, kObjectTypeInformation, &info, sizeof info, &length) < 0 || !info.typeName.Buffer) return {};
    const int wide = info.typeName.Length / static_cast<int>(sizeof(WCHAR));
    std::string name(static_cast<size_t>(wide), '?');
    for (int i = 0; i < wide; ++i) {
        const WCHAR c = info.typeName.Buffer[i];
        name[static_cast<size_t>(i)] = c < 0x80 ? static_cast<char>(c) : '?';
    }
    return name;
}

// Type names by type index, system-wide; learnt from one handle of each type.
std::string TypeName(HANDLE owner, const HandleEntry& entry) {
    static std::mutex lock;
    static std::map<USHORT, std::string> names;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = names.find(entry.objectTypeIndex);
        if (found != names.end()) return found->second;
    }
    std::string name;
    const HANDLE handle = reinterpret_cast<HANDLE>(entry.handleValue);
    if (GetProcessId(owner) == GetCurrentProcessId()) {
        name = TypeNameOf(handle);
    } else {
        HANDLE copy = nullptr;
        if (DuplicateHandle(owner, handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            name = TypeNameOf(copy);
            CloseHandle(copy);
        }
    }
    if (name.empty()) return "type" + std::to_string(entry.objectTypeIndex);
    std::lock_guard<std::mutex> guard(lock);
    names[entry.objectTypeIndex] = name;
    return name;
}

std::map<std::string, long> HandlesByType(HANDLE process) {
    std::map<std::string, long> counts;
    const std::vector<char> buffer = SystemHandles();
    if (buffer.empty()) return counts;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const DWORD pid = GetProcessId(process);
    for (ULONG_PTR i = 0; i < table->count; ++i) {
        const HandleEntry& entry = table->handles[i];
        if (entry.processId == pid) ++counts[TypeName(process, entry)];
    }
    return counts;
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
