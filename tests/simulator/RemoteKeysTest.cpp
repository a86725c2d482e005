// The remote control's plain parts: the keymap that the simulator and the companion share,
// and the key queue, reads and cancels of a box on a bare record.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "RemoteKeymap.h"
#include "RemoteKeys.h"

namespace {

using namespace tunersim;
using remote::Step;

TEST(Keymap, EveryKeyHasOneNameOneCodeAndTheTalvexAddress) {
    std::set<std::string> names;
    std::set<uint16_t> codes;
    for (const keymap::Key& key : keymap::Keys()) {
        EXPECT_TRUE(names.insert(std::string(key.name)).second) << key.name;
        EXPECT_TRUE(codes.insert(key.code).second) << key.name;
        EXPECT_EQ(key.code >> 8, keymap::kTalvexAddress) << key.name;
        EXPECT_FALSE(key.label.empty()) << key.name;
        EXPECT_EQ(keymap::FindByCode(key.code), &key);
        EXPECT_EQ(keymap::FindByName(key.name), &key);
    }
    // Digits, four arrows, OK, menu, volume and channel up and down, power.
    EXPECT_EQ(names.size(), 21u);
    for (const char* name : {"0", "9", "up", "down", "left", "right", "ok", "menu", "vol+", "vol-", "ch+", "ch-",
                             "power"})
        EXPECT_NE(keymap::FindByName(name), nullptr) << name;
    EXPECT_EQ(keymap::FindByName("5")->code, 0x2005);
    EXPECT_EQ(keymap::FindByName("OK")->code, 0x2015);
    EXPECT_EQ(keymap::FindByName("Vol+")->label, "Volume +");
    EXPECT_EQ(keymap::FindByName("okay"), nullptr);
    EXPECT_EQ(keymap::FindByName(""), nullptr);
    EXPECT_EQ(keymap::FindByCode(0x1234), nullptr);  // another remote's code
    EXPECT_EQ(keymap::FindByCode(0x2005 + 0x100), nullptr);
}

class Box : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(device.get(), 0, sizeof *device);
        device->used = 1;
        device->plugged = 1;
    }
    layout::RemoteState& r() { return device->remote; }
    Step Look(remote::Read& read) { return remote::Look(*device, read, key); }

    std::unique_ptr<layout::DeviceRecord> device = std::make_unique<layout::DeviceRecord>();
    uint16_t key = 0;
};

TEST_F(Box, KeysAreReadInOrderAndAFullQueueDropsTheNewest) {
    remote::Read read;
    EXPECT_EQ(Look(read), Step::Wait);
    EXPECT_EQ(r().waitingReads, 1u);
    EXPECT_EQ(Look(read), Step::Wait);  // looking again counts it once
    EXPECT_EQ(r().waitingReads, 1u);
    ASSERT_TRUE(remote::Press(r(), 0x1234));
    EXPECT_EQ(Look(read), Step::Key);
    EXPECT_EQ(key, 0x1234);
    EXPECT_EQ(r().waitingReads, 0u);

    // Around the ring more than once, in order.
    uint16_t next = 0;
    for (int round = 0; round < 3; ++round) {
        for (uint16_t i = 0; i < 50; ++i) ASSERT_TRUE(remote::Press(r(), static_cast<uint16_t>(next + i)));
        for (uint16_t i = 0; i < 50; ++i) {
            remote::Read each;
            ASSERT_EQ(Look(each), Step::Key);
            ASSERT_EQ(key, next + i);
        }
        next = static_cast<uint16_t>(next + 50);
    }
    for (size_t i = 0; i < layout::kKeyQueueLength; ++i) ASSERT_TRUE(remote::Press(r(), static_cast<uint16_t>(i)));
    EXPECT_FALSE(remote::Press(r(), 0xFFFF));
    EXPECT_EQ(r().dropped, 1u);
    EXPECT_EQ(r().queued, layout::kKeyQueueLength);
    EXPECT_EQ(r().pressed, 1u + 150u + layout::kKeyQueueLength);
    remote::Read first;
    EXPECT_EQ(Look(first), Step::Key);
    EXPECT_EQ(key, 0);
}

TEST_F(Box, ACancelReleasesTheWaitingReadOrElseTheNextOne) {
    remote::Read waiting;
    ASSERT_EQ(Look(waiting), Step::Wait);
    EXPECT_EQ(remote::Cancel(r(), true), remote::CancelOutcome::Taken);
    ASSERT_TRUE(remote::Press(r(), 0x2015));
    // Released, though a key came too: the key stays for the next read.
    EXPECT_EQ(Look(waiting), Step::Released);
    EXPECT_EQ(r().waitingReads, 0u);
    EXPECT_EQ(r().cancelPending, 0u);
    remote::Read after;
    EXPECT_EQ(Look(after), Step::Key);
    EXPECT_EQ(key, 0x2015);

    // No read waits: the cancel is kept for the next read, which it ends at once; the one
    // after that waits again.
    EXPECT_EQ(remote::Cancel(r(), true), remote::CancelOutcome::Taken);
    EXPECT_EQ(r().cancelPending, 1u);
    remote::Read next;
    EXPECT_EQ(Look(next), Step::Released);
    remote::Read later;
    EXPECT_EQ(Look(later), Step::Wait);
    EXPECT_EQ(r().releasedReads, 2u);
    EXPECT_EQ(r().cancels, 2u);

    // Two reads waiting: one cancel ends both.
    remote::Read second;
    ASSERT_EQ(Look(second), Step::Wait);
    EXPECT_EQ(r().waitingReads, 2u);
    remote::Cancel(r(), true);
    EXPECT_EQ(Look(later), Step::Released);
    EXPECT_EQ(Look(second), Step::Released);
    EXPECT_EQ(r().waitingReads, 0u);
}

TEST_F(Box, FaultsAndAGoneBoxEndReadsAsADriverWould) {
    // A cancel with a buffer or a length is refused and releases nothing.
    remote::Read read;
    ASSERT_EQ(Look(read), Step::Wait);
    EXPECT_EQ(remote::Cancel(r(), false), remote::CancelOutcome::Rejected);
    EXPECT_EQ(r().malformedCancels, 1u);
    EXPECT_EQ(r().cancels, 0u);
    EXPECT_EQ(Look(read), Step::Wait);

    // Ignored cancels are counted and release nothing, now or later.
    r().ignoreCancel = 1;
    EXPECT_EQ(remote::Cancel(r(), true), remote::CancelOutcome::Ignored);
    EXPECT_EQ(r().cancels, 1u);
    EXPECT_EQ(Look(read), Step::Wait);
    EXPECT_EQ(r().cancelPending, 0u);
    ASSERT_TRUE(remote::Press(r(), 7));
    EXPECT_EQ(Look(read), Step::Key);
    r().ignoreCancel = 0;

    // The next read fails, once.
    r().failNextRead = 1;
    remote::Read failing;
    EXPECT_EQ(Look(failing), Step::Failed);
    EXPECT_EQ(r().waitingReads, 0u);
    remote::Read fine;
    EXPECT_EQ(Look(fine), Step::Wait);

    // Unplugged: a waiting read ends and leaves the count.
    device->plugged = 0;
    EXPECT_EQ(Look(fine), Step::Unplugged);
    EXPECT_EQ(r().waitingReads, 0u);
    remote::Leave(r(), fine);  // leaving twice is harmless
    EXPECT_EQ(r().waitingReads, 0u);
}

}  // namespace
