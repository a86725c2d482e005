#include "SharedLayout.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace ombrel {
namespace {

std::size_t CountInUse(const SharedDeviceTable& table) {
    const std::uint32_t count =
        std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(table.count)).load(std::memory_order_acquire);
    return std::min<std::size_t>(count, kSharedEntries);
}

bool NameEquals(const SharedDeviceEntry& entry, std::string_view name) {
    // Bounded: a name written by another process may lack its NUL.
    const std::size_t length = strnlen(entry.name, sizeof entry.name);
    return std::string_view(entry.name, length) == name;
}

}  // namespace

int FindSharedEntry(const SharedDeviceTable& table, std::string_view name) {
    const std::size_t count = CountInUse(table);
    for (std::size_t i = 0; i < count; ++i) {
        if (NameEquals(table.entries[i], name)) return static_cast<int>(i);
    }
    return -1;
}

RegisterResult RegisterSharedName(SharedDeviceTable& table, std::string_view name) {
    if (name.size() >= sizeof table.entries[0].name) return RegisterResult::NameTooLong;
    if (FindSharedEntry(table, name) >= 0) return RegisterResult::AlreadyPresent;
    const std::size_t count = CountInUse(table);
    if (count >= kSharedEntries) return RegisterResult::TableFull;

    SharedDeviceEntry& entry = table.entries[count];
    std::memcpy(entry.name, name.data(), name.size());
    entry.name[name.size()] = '\0';
    std::atomic_ref<std::uint32_t>(table.count).store(static_cast<std::uint32_t>(count + 1),
                                                      std::memory_order_release);
    return RegisterResult::Added;
}

}  // namespace ombrel
