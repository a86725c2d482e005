// Remote-control readers through the real DLL and the simulated driver: keys to the owning
// handle's window, the start and stop rules, the state a failed key read leaves, a cancel the
// driver ignores, closing the owning handle, and readers started and stopped while keys stream.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "ProcessProbe.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace libtest;

namespace {

std::vector<LPARAM> KeysOf(const MessageSink& sink, unsigned long handle) {
    std::vector<LPARAM> keys;
    for (const Received& r : sink.log()) {
        if (r.message == OMBREL_MSG_REMOTE_KEY && r.wParam == handle) keys.push_back(r.lParam);
    }
    return keys;
}

class RemoteTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        tunersim::Plug(Wdm(id_));
        name_ = SimDisplayName(id_, 0);
        ASSERT_TRUE(PumpUntil([&] { return (first_ = OpenByDisplayName(name_)) != 0; }));
        second_ = OpenByDisplayName(name_);
        ASSERT_NE(second_, 0u);
        ASSERT_EQ(OB_RegisterNotifications(first_, sink_.hwnd()), OB_SUCCESS);
        ASSERT_EQ(OB_RegisterNotifications(second_, sink_.hwnd()), OB_SUCCESS);
    }
    void TearDown() override {
        OB_CloseDeviceHandle(first_);
        OB_CloseDeviceHandle(second_);
        SimTest::TearDown();
    }

    int32_t RcInUse() const {
        const int flag = SharedFlags().Rc(name_);
        EXPECT_NE(flag, -1) << "the device has no shared entry";
        return flag;
    }
    tunersim::RemoteStatus Driver() const { return tunersim::Remote(id_); }
    // Until the reader waits in the driver for the next key.
    bool ReaderWaits(uint32_t reads = 1) const {
        return PumpUntil([&] { return Driver().waitingReads == reads; }, 20000);
    }
    bool KeysArrived(unsigned long handle, size_t n) const {
        return PumpUntil([&] { return KeysOf(sink_, handle).size() >= n; }, 20000);
    }

    const std::string id_ = "00000000000c0a01";
    std::string name_;
    unsigned long first_ = 0, second_ = 0;
    MessageSink sink_;
};

TEST_F(RemoteTest, KeysReachTheOwningHandlesWindowInOrderAndOnlyTheOwnerStops) {
    ASSERT_EQ(RcInUse(), 0);
    ASSERT_EQ(OB_RemoteControl_Start(first_), OB_SUCCESS);
    EXPECT_EQ(RcInUse(), 1);
    // One reader per device, whichever handle asks.
    EXPECT_EQ(OB_RemoteControl_Start(first_), OB_FAILED);
    EXPECT_EQ(OB_RemoteControl_Start(second_), OB_FAILED);
    EXPECT_EQ(OB_RemoteControl_Start(0), OB_INVALID_HANDLE);
    EXPECT_EQ(OB_RemoteControl_Stop(first_ ^ 0x5A5A0000), OB_INVALID_HANDLE);

    // The bytes 0x12 0x34 make lParam 0x1234; wParam is the starting handle.
    tunersim::PressKeys(id_, {0x1234, 0x2015, 0x2001});
    ASSERT_TRUE(KeysArrived(first_, 3));
    EXPECT_EQ(KeysOf(sink_, first_), (std::vector<LPARAM>{0x1234, 0x2015, 0x2001}));
    EXPECT_TRUE(KeysOf(sink_, second_).empty());

    // A stop through another handle fails and the keys keep coming.
    EXPECT_EQ(OB_RemoteControl_Stop(second_), OB_FAILED);
    tunersim::PressKey(id_, 0xFFFF);
    ASSERT_TRUE(KeysArrived(first_, 4));
    EXPECT_EQ(KeysOf(sink_, first_).back(), 0xFFFF);

    // The owner's window may change while the reader runs; without one, keys are read and
    // dropped.
    MessageSink other;
    ASSERT_EQ(OB_RegisterNotifications(first_, other.hwnd()), OB_SUCCESS);
    tunersim::PressKey(id_, 0x2002);
    ASSERT_TRUE(PumpUntil([&] { return KeysOf(other, first_).size() == 1; }));
    ASSERT_EQ(OB_UnregisterNotifications(first_), OB_SUCCESS);
    tunersim::PressKeys(id_, {0x2003, 0x2004});
    ASSERT_TRUE(PumpUntil([&] { return Driver().read == 7 && Driver().waitingReads == 1; }));
    PumpFor(200);
    EXPECT_EQ(KeysOf(sink_, first_).size(), 4u);
    EXPECT_EQ(KeysOf(other, first_), (std::vector<LPARAM>{0x2002}));

    // The owner stops it: the cancel goes without buffers and releases the waiting read.
    ASSERT_EQ(OB_RemoteControl_Stop(first_), OB_SUCCESS);
    EXPECT_EQ(RcInUse(), 0);
    EXPECT_EQ(Driver().cancels, 1u);
    EXPECT_EQ(Driver().malformedCancels, 0u);
    EXPECT_EQ(Driver().releasedReads, 1u);
    EXPECT_EQ(Driver().waitingReads, 0u);
    EXPECT_EQ(OB_RemoteControl_Stop(first_), OB_FAILED);

    // Keys pressed meanwhile wait in the box for the next reader, on any handle.
    tunersim::PressKey(id_, 0x2005);
    PumpFor(100);
    ASSERT_EQ(OB_RemoteControl_Start(second_), OB_SUCCESS);
    ASSERT_TRUE(KeysArrived(second_, 1));
    EXPECT_EQ(KeysOf(sink_, second_), (std::vector<LPARAM>{0x2005}));
    EXPECT_EQ(OB_RemoteControl_Stop(first_), OB_FAILED);
    EXPECT_EQ(OB_RemoteControl_Stop(second_), OB_SUCCESS);
    EXPECT_EQ(KeysOf(sink_, first_).size(), 4u);
}

TEST_F(RemoteTest, AFailedKeyReadLeavesTheReaderRunningUntilAStopThatNeedsNoCancel) {
    const int threadsBefore = ThreadsOfThisProcess();
    tunersim::InjectKeyFault(id_, tunersim::KeyFault::FailNextRead);
    ASSERT_EQ(OB_RemoteControl_Start(first_), OB_SUCCESS);
    ASSERT_TRUE(PumpUntil([&] { return tunersim::Requests(id_, OMBREL_PROP_REMOTE_KEY).gets == 1; }));
    PumpFor(300);
    // The reader has ended without a word; the device still counts as running.
    EXPECT_EQ(tunersim::Requests(id_, OMBREL_PROP_REMOTE_KEY).gets, 1u);
    EXPECT_EQ(OB_RemoteControl_Start(first_), OB_FAILED);
    EXPECT_EQ(OB_RemoteControl_Start(second_), OB_FAILED);
    EXPECT_EQ(RcInUse(), 1);
    tunersim::PressKey(id_, 0x2001);
    PumpFor(200);
    EXPECT_TRUE(KeysOf(sink_, first_).empty());

    // The stop finds the thread out of its loop: no cancel to send, nothing to wait for.
    ASSERT_EQ(OB_RemoteControl_Stop(first_), OB_SUCCESS);
    EXPECT_EQ(tunersim::Requests(id_, OMBREL_PROP_REMOTE_CANCEL).sets, 0u);
    EXPECT_EQ(RcInUse(), 0);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);

    // A new reader works, and its first read is not ended by an old cancel.
    ASSERT_EQ(OB_RemoteControl_Start(first_), OB_SUCCESS);
    ASSERT_TRUE(KeysArrived(first_, 1));
    EXPECT_EQ(KeysOf(sink_, first_), (std::vector<LPARAM>{0x2001}));
    EXPECT_EQ(OB_RemoteControl_Stop(first_), OB_SUCCESS);
    EXPECT_EQ(Driver().releasedReads, 1u);
}

TEST_F(RemoteTest, ClosingTheOwningHandleStopsTheReaderAndAnotherHandleDoesNot) {
    ASSERT_EQ(OB_RemoteControl_Start(first_), OB_SUCCESS);
    ASSERT_TRUE(ReaderWaits());
    const unsigned long third = OpenByDisplayName(name_);
    ASSERT_NE(third, 0u);
    ASSERT_EQ(OB_CloseDeviceHandle(third), OB_SUCCESS);  // not the owner: the reader goes on
    tunersim::PressKey(id_, 0x2011);
    ASSERT_TRUE(KeysArrived(first_, 1));

    ASSERT_TRUE(ReaderWaits());
    ASSERT_EQ(OB_CloseDeviceHandle(first_), OB_SUCCESS);
    EXPECT_EQ(RcInUse(), 0);
    EXPECT_EQ(Driver().waitingReads, 0u);
    EXPECT_EQ(Driver().releasedReads, 1u);
    EXPECT_EQ(OB_RemoteControl_Stop(first_), OB_INVALID_HANDLE);
    first_ = 0;

    ASSERT_EQ(OB_RemoteControl_Start(second_), OB_SUCCESS);
    tunersim::PressKey(id_, 0x2012);
    ASSERT_TRUE(KeysArrived(second_, 1));
    ASSERT_EQ(OB_CloseDeviceHandle(second_), OB_SUCCESS);
    second_ = 0;
    EXPECT_EQ(RcInUse(), 0);
    PumpFor(100);
    EXPECT_EQ(sink_.CountOf(OMBREL_MSG_REMOTE_KEY), 2);
}

TEST_F(RemoteTest, AStopTheDriverDoesNotReleaseReturnsAndTheLateReadPostsNothing) {
    const int threadsBefore = ThreadsOfThisProcess();
    tunersim::InjectKeyFault(id_, tunersim::KeyFault::IgnoreCancel);
    ASSERT_EQ(OB_RemoteControl_Start(first_), OB_SUCCESS);
    ASSERT_TRUE(ReaderWaits());

    // The stop gives up on the thread after its bound and leaves the device stopped.
    ASSERT_EQ(OB_RemoteControl_Stop(first_), OB_SUCCESS);
    EXPECT_EQ(RcInUse(), 0);
    EXPECT_EQ(Driver().cancels, 1u);
    EXPECT_EQ(Driver().waitingReads, 1u);  // the abandoned read is still in the driver
    EXPECT_EQ(OB_RemoteControl_Stop(first_), OB_FAILED);

    // Its read returns at last, with a key: the thread posts nothing and ends.
    tunersim::PressKey(id_, 0x2016);
    ASSERT_TRUE(PumpUntil([&] { return Driver().waitingReads == 0; }));
    ASSERT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess() == threadsBefore; }));
    PumpFor(200);
    EXPECT_EQ(sink_.CountOf(OMBREL_MSG_REMOTE_KEY), 0);
    EXPECT_EQ(Driver().read, 1u);

    // The device works as before, with a driver that releases again.
    tunersim::InjectKeyFault(id_, tunersim::KeyFault::None);
    ASSERT_EQ(OB_RemoteControl_Start(first_), OB_SUCCESS);
    tunersim::PressKey(id_, 0x2017);
    ASSERT_TRUE(KeysArrived(first_, 1));
    ASSERT_EQ(OB_RemoteControl_Stop(first_), OB_SUCCESS);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
}

TEST_F(RemoteTest, ReadersStartedAndStoppedWhileKeysStreamPostEachKeyOnceInOrder) {
    const int threadsBefore = ThreadsOfThisProcess();
    // Keys count up, so order and duplicates show; one window hears both handles. Every
    // other cycle stops the reader while keys stream, the others while it waits for one.
    std::atomic<bool> streaming{false}, paused{true}, done{false};
    uint16_t next = 1;
    std::thread presser([&] {
        while (!done) {
            paused = !streaming;
            if (streaming) {
                try {
                    if (tunersim::PressKey(id_, next)) ++next;
                } catch (const tunersim::Error&) {
                    return;
                }
            }
            Sleep(2);
        }
    });

    int badStarts = 0, badStops = 0, strayOwner = 0, idleStopsNotCancelledOnce = 0;
    for (int cycle = 0; cycle < 30; ++cycle) {
        const unsigned long owner = cycle % 3 ? second_ : first_;
        const bool idle = cycle % 2 == 1;
        const size_t before = sink_.log().size();
        streaming = !idle;
        if (OB_RemoteControl_Start(owner) != OB_SUCCESS) ++badStarts;
        tunersim::RemoteStatus waiting{};
        if (idle) {
            PumpUntil([&] { return paused.load() && (waiting = Driver()).waitingReads == 1; }, 20000);
        } else {
            PumpUntil([&] { return sink_.log().size() > before + static_cast<size_t>(cycle % 3); }, 5000);
        }
        if (OB_RemoteControl_Stop(owner) != OB_SUCCESS) ++badStops;
        if (idle) {
            const tunersim::RemoteStatus after = Driver();
            idleStopsNotCancelledOnce += after.cancels != waiting.cancels + 1 ||
                                         after.releasedReads != waiting.releasedReads + 1;
        }
        PumpFor(5);
        // Everything posted in this cycle was posted before the stop returned, by this owner.
        for (size_t i = before; i < sink_.log().size(); ++i) strayOwner += sink_.log()[i].wParam != owner;
    }
    done = true;
    presser.join();

    EXPECT_EQ(badStarts, 0);
    EXPECT_EQ(badStops, 0);
    EXPECT_EQ(strayOwner, 0);
    EXPECT_EQ(idleStopsNotCancelledOnce, 0);
    std::vector<LPARAM> keys;
    for (const Received& r : sink_.log()) keys.push_back(r.lParam);
    ASSERT_GE(keys.size(), 15u);
    for (size_t i = 1; i < keys.size(); ++i) ASSERT_LT(keys[i - 1], keys[i]) << "at " << i;
    EXPECT_LE(keys.size(), Driver().read);  // a key read as a stop came is not posted
    EXPECT_EQ(RcInUse(), 0);
    EXPECT_EQ(Driver().waitingReads, 0u);
    EXPECT_EQ(Driver().malformedCancels, 0u);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
}

}  // namespace
