// Layout of the cross-process device table in the named section, and the append
// that keeps within it (plain C++; the caller provides mutual exclusion).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ombrel {

inline constexpr std::size_t kSharedEntries = 100;

#pragma pack(push, 1)
struct SharedDeviceEntry {
    char name[512];
    std::int32_t rcInUse;
    std::int32_t ciInUse;
};
struct SharedDeviceTable {
    std::uint32_t count;
    SharedDeviceEntry entries[kSharedEntries];
};
#pragma pack(pop)

static_assert(sizeof(SharedDeviceEntry) == 520);
static_assert(sizeof(SharedDeviceTable) == 52004);
static_assert(offsetof(SharedDeviceTable, entries) == 4);
static_assert(offsetof(SharedDeviceEntry, rcInUse) == 512);
static_assert(offsetof(SharedDeviceEntry, ciInUse) == 516);

inline constexpr std::size_t kSharedSectionSize = sizeof(SharedDeviceTable);

// Index of the first entry in use whose name equals this one, or -1. A count that
// another process has left beyond the table is read as a full table.
int FindSharedEntry(const SharedDeviceTable& table, std::string_view name);

enum class RegisterResult { Added, AlreadyPresent, TableFull, NameTooLong };

// Appends the name unless it is present. Writes the entry before publishing the new
// count, so a reader in another process never sees a counted entry half written.
RegisterResult RegisterSharedName(SharedDeviceTable& table, std::string_view name);

}  // namespace ombrel
