// The named section as another process may have left it: any count, names without
// their NUL, flags set anywhere. Then this process looks names up and registers them.
// Properties: a lookup finds the first equal entry in use and nothing past the table;
// a registration writes exactly one new entry and the count, and only when the name
// is new, fits and the table has room; nothing else of the section changes.
#include "FuzzSupport.h"
#include "SharedLayout.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

using ombrel::RegisterResult;
using ombrel::SharedDeviceTable;

std::size_t InUse(const SharedDeviceTable& table) { return std::min<std::size_t>(table.count, ombrel::kSharedEntries); }

std::string_view NameOf(const ombrel::SharedDeviceEntry& entry) {
    return {entry.name, strnlen(entry.name, sizeof entry.name)};
}

void CheckFind(const SharedDeviceTable& table, std::string_view name) {
    const int found = ombrel::FindSharedEntry(table, name);
    std::size_t first = InUse(table);
    for (std::size_t i = 0; i < InUse(table); ++i) {
        if (NameOf(table.entries[i]) == name) {
            first = i;
            break;
        }
    }
    if (first == InUse(table)) {
        FUZZ_REQUIRE(found == -1, "a name in no entry in use is not found");
    } else {
        FUZZ_REQUIRE(found == static_cast<int>(first), "the first equal entry in use is the device's");
    }
}

void CheckRegister(SharedDeviceTable& table, std::string_view name) {
    const auto before = std::make_unique<SharedDeviceTable>(table);
    const bool present = ombrel::FindSharedEntry(table, name) >= 0;
    const RegisterResult result = ombrel::RegisterSharedName(table, name);
    const std::size_t slot = InUse(*before);
    switch (result) {
    case RegisterResult::Added:
        FUZZ_REQUIRE(!present && name.size() < 512 && slot < ombrel::kSharedEntries, "added only when new, fitting, with room");
        FUZZ_REQUIRE(table.count == slot + 1, "the count grows by one");
        FUZZ_REQUIRE(std::memcmp(table.entries[slot].name, name.data(), name.size()) == 0 &&
                         table.entries[slot].name[name.size()] == '\0',
                     "the name is copied with its NUL");
        FUZZ_REQUIRE(ombrel::FindSharedEntry(table, name) == static_cast<int>(slot) || name.find('\0') != std::string_view::npos,
                     "the new entry is found again");
        FUZZ_REQUIRE(std::memcmp(&table.entries[slot].rcInUse, &before->entries[slot].rcInUse, 8) == 0, "flags untouched");
        FUZZ_REQUIRE(std::memcmp(before->entries, table.entries, slot * sizeof table.entries[0]) == 0,
                     "entries before it untouched");
        FUZZ_REQUIRE(std::memcmp(before->entries + slot + 1, table.entries + slot + 1,
                                 (ombrel::kSharedEntries - slot - 1) * sizeof table.entries[0]) == 0,
                     "entries after it untouched");
        return;
    case RegisterResult::AlreadyPresent: FUZZ_REQUIRE(present, "present means found"); break;
    case RegisterResult::TableFull: FUZZ_REQUIRE(slot == ombrel::kSharedEntries, "full means 100 in use"); break;
    case RegisterResult::NameTooLong: FUZZ_REQUIRE(name.size() >= 512, "only names without room for their NUL"); break;
    }
    FUZZ_REQUIRE(std::memcmp(before.get(), &table, sizeof table) == 0, "a refused registration changes nothing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Exactly the section's size on the heap, so that any access past it is caught.
    auto table = std::make_unique<SharedDeviceTable>();
    std::memset(table.get(), 0, sizeof *table);
    table->count = input.ConsumeBool() ? input.ConsumeIntegral<std::uint32_t>() : input.ConsumeIntegralInRange<std::uint32_t>(0, 101);

    // What other processes wrote: some entries, some without a NUL, some flags.
    const int writes = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < writes; ++i) {
        auto& entry = table->entries[input.ConsumeIntegralInRange<std::size_t>(0, ombrel::kSharedEntries - 1)];
        if (input.ConsumeBool()) {
            std::memset(entry.name, input.ConsumeIntegral<char>(), sizeof entry.name);
        } else {
            const std::string name = input.ConsumeRandomLengthString(520);
            std::memcpy(entry.name, name.data(), std::min(name.size(), sizeof entry.name));
        }
        entry.rcInUse = input.ConsumeIntegral<std::int32_t>();
        entry.ciInUse = input.ConsumeIntegral<std::int32_t>();
    }

    // This process's own work on it: a few lookups and registrations (each compares the
    // whole section before and after, so more would only slow the search down).
    for (int i = 0; i < 8 && input.remaining_bytes() > 0; ++i) {
        const bool reuse = input.ConsumeBool();
        std::string name;
        if (reuse) {
            name = std::string(NameOf(table->entries[input.ConsumeIntegralInRange<std::size_t>(0, ombrel::kSharedEntries - 1)]));
        } else if (input.ConsumeBool()) {
            name.assign(input.ConsumeIntegralInRange<std::size_t>(500, 520), 'n');
        } else {
            name = input.ConsumeRandomLengthString(64);
        }
        CheckFind(*table, name);
        CheckRegister(*table, name);
    }
    return 0;
}
