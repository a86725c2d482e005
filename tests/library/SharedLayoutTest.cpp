#include "SharedLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using namespace ombrel;

namespace {

// A zeroed table the size of the section, with guard bytes after it.
struct Section {
    SharedDeviceTable table{};
    unsigned char guard[64];
    Section() { std::memset(guard, 0xA5, sizeof guard); }
    bool GuardIntact() const {
        for (unsigned char b : guard)
            if (b != 0xA5) return false;
        return true;
    }
};

}  // namespace

TEST(SharedTableAppend, AddsOnceAndFindsFirstEqual) {
    auto s = std::make_unique<Section>();
    EXPECT_EQ(RegisterSharedName(s->table, "@device:sw:{A}\\one"), RegisterResult::Added);
    EXPECT_EQ(RegisterSharedName(s->table, "@device:sw:{A}\\two"), RegisterResult::Added);
    EXPECT_EQ(RegisterSharedName(s->table, "@device:sw:{A}\\one"), RegisterResult::AlreadyPresent);
    EXPECT_EQ(s->table.count, 2u);
    EXPECT_EQ(FindSharedEntry(s->table, "@device:sw:{A}\\two"), 1);
    EXPECT_EQ(FindSharedEntry(s->table, "@device:sw:{A}\\ONE"), -1);  // byte for byte
    EXPECT_STREQ(s->table.entries[0].name, "@device:sw:{A}\\one");
    EXPECT_EQ(s->table.entries[0].rcInUse, 0);
    EXPECT_EQ(s->table.entries[0].ciInUse, 0);
}

TEST(SharedTableAppend, FullTableRegistersNothingAndWritesNothingPastIt) {
    auto s = std::make_unique<Section>();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(RegisterSharedName(s->table, "dev" + std::to_string(i)), RegisterResult::Added) << i;
    EXPECT_EQ(RegisterSharedName(s->table, "dev100"), RegisterResult::TableFull);
    EXPECT_EQ(RegisterSharedName(s->table, "dev99"), RegisterResult::AlreadyPresent);
    EXPECT_EQ(s->table.count, 100u);
    EXPECT_TRUE(s->GuardIntact());

    // A count beyond the table, left by a faulty writer, reads as full.
    s->table.count = 1000;
    EXPECT_EQ(RegisterSharedName(s->table, "other"), RegisterResult::TableFull);
    EXPECT_EQ(FindSharedEntry(s->table, "dev5"), 5);
    EXPECT_TRUE(s->GuardIntact());
}

TEST(SharedTableAppend, NamesMustFitWithTheirNul) {
    auto s = std::make_unique<Section>();
    EXPECT_EQ(RegisterSharedName(s->table, std::string(512, 'n')), RegisterResult::NameTooLong);
    EXPECT_EQ(RegisterSharedName(s->table, std::string(511, 'n')), RegisterResult::Added);
    EXPECT_EQ(s->table.entries[0].name[511], '\0');
    EXPECT_EQ(s->table.entries[0].rcInUse, 0);
}

TEST(SharedTableAppend, UnterminatedNameFromAnotherWriterIsReadBounded) {
    auto s = std::make_unique<Section>();
    std::memset(s->table.entries[0].name, 'x', sizeof s->table.entries[0].name);
    s->table.entries[0].rcInUse = 0;
    s->table.count = 1;
    EXPECT_EQ(FindSharedEntry(s->table, std::string(512, 'x')), 0);
    EXPECT_EQ(FindSharedEntry(s->table, "x"), -1);
}
