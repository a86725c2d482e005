// The device table's merge rules, driven directly with built entries (no driver, no
// window system): what the rescans of two threads leave behind when they finish in
// either order.
#include <gtest/gtest.h>

#include "DeviceTable.h"

#include <initializer_list>
#include <string>

using namespace ombrel;

namespace {

EntryList Scan(std::initializer_list<const char*> names) {
    EntryList list;
    for (const char* name : names) {
        auto entry = std::make_unique<DeviceEntry>();
        entry->displayName = name;
        entry->friendlyName = "Ombrel WDM";
        list.push_back(std::move(entry));
    }
    return list;
}

const HWND kGeneral = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));

}  // namespace

TEST(TableMerge, ScansInOrderDetachReattachAndAppend) {
    DeviceTable table(nullptr);
    table.AddGeneralWindow(kGeneral);

    EXPECT_EQ(table.Merge(Scan({"a#1#01#x", "b#1#02#x", "a#1#01#x"}), table.BeginScan(), {}),
              std::vector<HWND>{kGeneral});
    EXPECT_EQ(table.Count(KindFilter::Any), 2u);  // the duplicate counts once

    EXPECT_TRUE(table.Merge(Scan({"a#1#01#x", "b#1#02#x"}), table.BeginScan(), {}).empty());
    EXPECT_EQ(table.Merge(Scan({"b#1#02#x"}), table.BeginScan(), {}), std::vector<HWND>{kGeneral});
    EXPECT_EQ(table.Count(KindFilter::Any), 1u);
    EXPECT_EQ(table.Merge(Scan({"a#1#01#x", "b#1#02#x"}), table.BeginScan(), {}), std::vector<HWND>{kGeneral});
    EXPECT_EQ(table.Count(KindFilter::Any), 2u);
}

TEST(TableMerge, OlderScanFinishingLastDoesNotUndoANewerOne) {
    DeviceTable table(nullptr);
    table.AddGeneralWindow(kGeneral);
    ASSERT_FALSE(table.Merge(Scan({"a#1#01#x"}), table.BeginScan(), {}).empty());

    // Two rescans run at once: the first still saw the box, the box was then
    // unplugged, and the second, begun later, finishes first.
    const std::uint64_t older = table.BeginScan();
    const std::uint64_t newer = table.BeginScan();
    EXPECT_EQ(table.Merge(Scan({}), newer, {}), std::vector<HWND>{kGeneral});
    EXPECT_EQ(table.Count(KindFilter::Any), 0u);

    EXPECT_TRUE(table.Merge(Scan({"a#1#01#x", "c#1#03#x"}), older, {}).empty());
    EXPECT_EQ(table.Count(KindFilter::Any), 0u);
    unsigned long handle = 77;
    EXPECT_EQ(table.OpenByIndex(KindFilter::Any, 0, &handle), OB_FAILED);
    EXPECT_EQ(handle, 77u);

    // A scan begun after both is merged again.
    EXPECT_EQ(table.Merge(Scan({"c#1#03#x"}), table.BeginScan(), {}), std::vector<HWND>{kGeneral});
    EXPECT_EQ(table.Count(KindFilter::Any), 1u);
}
