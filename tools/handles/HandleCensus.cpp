#include "HandleCensus.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace handles {
namespace {

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectTypeInformation = 2;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};

struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry handles[1];
};

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryObject = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <class F>
F NtFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The system's whole handle list; the buffer grows until it fits (other processes
// open handles meanwhile, so the size asked for is only a hint).
bool ReadHandleList(std::vector<unsigned char>& buffer) {
    static const auto query = NtFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (!query) return false;
    if (buffer.size() < 64 * 1024) buffer.resize(64 * 1024);
    for (int attempt = 0; attempt < 16; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        return status >= 0;
    }
    return false;
}

std::string TypeNameOf(HANDLE handle) {
    static const auto query = NtFunction<QueryObject>("NtQueryObject");
    if (!query) return "?";
    alignas(8) unsigned char info[1024];
    ULONG length = 0;
    if (query(handle, kObjectTypeInformation, info, sizeof info, &length) < 0) return "?";
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(info);
    std::string text;
    for (USHORT i = 0; i < name->Length / sizeof(wchar_t); ++i) {
        const wchar_t c = name->Buffer[i];
        text.push_back(c < 128 ? static_cast<char>(c) : '?');
    }
    return text;
}

// The type of `owner`'s handle `handle`; one of another process is asked of a copy.
std::string TypeName(HANDLE owner, bool own, HANDLE handle) {
    if (own) return TypeNameOf(handle);
    HANDLE copy = nullptr;
    if (!DuplicateHandle(owner, handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return "?";
    std::string name = TypeNameOf(copy);
    CloseHandle(copy);
    return name;
}

}  // namespace

long Census::Of(const std::string& type) const {
    const auto found = byType.find(type);
    return found == byType.end() ? 0 : found->second;
}

long Census::Total() const {
    long total = 0;
    for (const auto& [type, count] : byType) total += count;
    return total;
}

std::optional<Census> TakeCensus() { return TakeCensus(GetCurrentProcess()); }

std::optional<Census> TakeCensus(HANDLE process) {
    // Kept between calls: the list's allocation must not come and go with each count.
    static thread_local std::vector<unsigned char> buffer;
    if (!ReadHandleList(buffer)) return std::nullopt;
    const auto& list = *reinterpret_cast<const HandleList*>(buffer.data());
    const DWORD owner = GetProcessId(process);
    if (owner == 0) return std::nullopt;
    const bool own = owner == GetCurrentProcessId();
    // Type indexes name the same type for the whole run; a name is asked once per index.
    static thread_local std::map<USHORT, std::string> names;
    Census census;
    for (ULONG_PTR i = 0; i < list.count; ++i) {
        const HandleEntry& entry = list.handles[i];
        if (entry.processId != owner) continue;
        auto name = names.find(entry.typeIndex);
        if (name == names.end()) {
            std::string type = TypeName(process, own, reinterpret_cast<HANDLE>(entry.handle));
            // A handle closed since the list was read tells nothing; ask again next time.
            if (type == "?") {
                ++census.byType[type];
                continue;
            }
            // Some types have no name under Wine: they are told apart by their index.
            if (type.empty()) type = "type" + std::to_string(entry.typeIndex);
            name = names.emplace(entry.typeIndex, std::move(type)).first;
        }
        ++census.byType[name->second];
    }
    return census;
}

Census Difference(const Census& after, const Census& before) {
    Census delta;
    for (const auto& [type, count] : after.byType) {
        if (count != before.Of(type)) delta.byType[type] = count - before.Of(type);
    }
    for (const auto& [type, count] : before.byType) {
        if (!after.byType.count(type)) delta.byType[type] = -count;
    }
    return delta;
}

std::string Describe(const Census& delta, long per) {
    std::string text;
    for (const auto& [type, count] : delta.byType) {
        char item[96];
        if (per > 1)
            std::snprintf(item, sizeof item, "%s%s %+.2f", text.empty() ? "" : ", ", type.c_str(),
                          static_cast<double>(count) / static_cast<double>(per));
        else
            std::snprintf(item, sizeof item, "%s%s %+ld", text.empty() ? "" : ", ", type.c_str(), count);
        text += item;
    }
    return text.empty() ? "none" : text;
}

}  // namespace handles
