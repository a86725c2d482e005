// Device-change messages: per-handle posts, general sends, and callbacks into the
// library while a general message is being handled.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "ProcessProbe.h"

#include <objbase.h>

#include <memory>

using namespace libtest;

namespace {

// General windows stay registered for the life of the library, so they are made
// once and shared by every case; each case clears their logs.
MessageSink& General() {
    static MessageSink sink;
    static const bool registered = (OB_RegisterGeneralNotifications(sink.hwnd()), true);
    (void)registered;
    return sink;
}
MessageSink& RegisteredTwice() {
    static MessageSink sink;
    static const bool registered =
        (OB_RegisterGeneralNotifications(sink.hwnd()), OB_RegisterGeneralNotifications(sink.hwnd()), true);
    (void)registered;
    return sink;
}

class NotifyTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        PumpFor(100);
        General().Clear();
        RegisteredTwice().Clear();
        General().onMessage = nullptr;
    }
    void TearDown() override {
        General().onMessage = nullptr;
        // The library rescans after a broadcast has passed: a reset that detaches what
        // is listed is heard by every general window before the next case clears them.
        const bool listed = DeviceCount() > 0;
        const int general = General().CountOf(OMBREL_MSG_DEVICES_CHANGED);
        const int twice = RegisteredTwice().CountOf(OMBREL_MSG_DEVICES_CHANGED);
        SimTest::TearDown();
        if (listed) {
            EXPECT_TRUE(PumpUntil([&] {
                return General().CountOf(OMBREL_MSG_DEVICES_CHANGED) >= general + 1 &&
                       RegisteredTwice().CountOf(OMBREL_MSG_DEVICES_CHANGED) >= twice + 2;
            }));
        }
    }
    static bool GeneralCountIs(int n) { return General().CountOf(OMBREL_MSG_DEVICES_CHANGED) == n; }
    static bool TwiceCountIs(int n) { return RegisteredTwice().CountOf(OMBREL_MSG_DEVICES_CHANGED) == n; }
    // A handle window's message of a rescan was posted before the rescan sent to the
    // general windows: it has been handled already or still waits in the queue.
    static bool PostedBefore(const MessageSink& window, UINT message) {
        MSG m;
        return window.CountOf(message) > 0 || PeekMessageW(&m, window.hwnd(), message, message, PM_NOREMOVE);
    }
};

}  // namespace

TEST_F(NotifyTest, UnplugAndPlugAgainTellEveryWindowOnce) {
    const std::string id = "0000000000a00001";
    tunersim::Plug(Wdm(id));
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    const unsigned long count = DeviceCount();
    unsigned long a = OpenByDisplayName(SimDisplayName(id, 0));
    unsigned long b = OpenByDisplayName(SimDisplayName(id, 0));
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    MessageSink wa, wb;
    ASSERT_EQ(OB_RegisterNotifications(a, wa.hwnd()), OB_SUCCESS);
    ASSERT_EQ(OB_RegisterNotifications(b, wb.hwnd()), OB_SUCCESS);
    General().Clear();
    RegisteredTwice().Clear();

    // The posts to the handles' windows are queued before the general message is sent.
    bool postsQueuedFirst = false;
    General().onMessage = [&](const Received&) {
        postsQueuedFirst = PostedBefore(wa, OMBREL_MSG_DETACHED) && PostedBefore(wb, OMBREL_MSG_DETACHED);
    };
    tunersim::Unplug(id);
    ASSERT_TRUE(PumpUntil(
        [&] { return wa.log().size() == 1 && wb.log().size() == 1 && GeneralCountIs(1) && TwiceCountIs(2); }));
    PumpFor(200);
    EXPECT_TRUE(postsQueuedFirst);
    EXPECT_EQ(wa.log()[0].message, static_cast<UINT>(OMBREL_MSG_DETACHED));
    EXPECT_EQ(wa.log()[0].wParam, a);
    EXPECT_EQ(wa.log()[0].lParam, 0);
    EXPECT_EQ(wb.log()[0].message, static_cast<UINT>(OMBREL_MSG_DETACHED));
    EXPECT_EQ(wb.log()[0].wParam, b);
    EXPECT_EQ(General().log().size(), 1u);
    EXPECT_EQ(General().log()[0].wParam, 0u);
    EXPECT_EQ(RegisteredTwice().CountOf(OMBREL_MSG_DEVICES_CHANGED), 2);
    EXPECT_EQ(DeviceCount(), count - 1);
    EXPECT_EQ(OB_IsDeviceAttached(a), 0);

    General().onMessage = nullptr;
    General().Clear();
    RegisteredTwice().Clear();
    tunersim::Plug(Wdm(id));
    ASSERT_TRUE(PumpUntil(
        [&] { return wa.log().size() == 2 && wb.log().size() == 2 && GeneralCountIs(1) && TwiceCountIs(2); }));
    PumpFor(200);
    EXPECT_EQ(wa.log()[1].message, static_cast<UINT>(OMBREL_MSG_ATTACHED));
    EXPECT_EQ(wa.log()[1].wParam, a);
    EXPECT_EQ(wb.log()[1].message, static_cast<UINT>(OMBREL_MSG_ATTACHED));
    EXPECT_EQ(wb.log()[1].wParam, b);
    EXPECT_EQ(General().log().size(), 1u);
    EXPECT_EQ(RegisteredTwice().CountOf(OMBREL_MSG_DEVICES_CHANGED), 2);
    EXPECT_EQ(DeviceCount(), count);  // the old entry again, nothing appended
    EXPECT_EQ(OB_IsDeviceAttached(a), 1);
    EXPECT_EQ(OB_IsDeviceAttached(b), 1);
    _OMBREL_FIRMWARE_VERSION fw;
    EXPECT_EQ(OB_GetFirmwareVersion(a, &fw), OB_SUCCESS);
    OB_CloseDeviceHandle(a);
    OB_CloseDeviceHandle(b);
}

TEST_F(NotifyTest, NothingChangedNothingSent) {
    tunersim::Plug(Wdm("0000000000a00002"));
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    unsigned long h = OpenByDisplayName(SimDisplayName("0000000000a00002", 0));
    MessageSink w;
    OB_RegisterNotifications(h, w.hwnd());
    General().Clear();
    tunersim::BroadcastDeviceChange();
    tunersim::BroadcastDeviceChange();
    PumpFor(300);
    EXPECT_TRUE(General().log().empty());
    EXPECT_TRUE(w.log().empty());
    OB_CloseDeviceHandle(h);
}

TEST_F(NotifyTest, UnregisteredHandleHearsNothingGeneralStillDoes) {
    const std::string id = "0000000000a00003";
    tunersim::Plug(Wdm(id));
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    unsigned long h = OpenByDisplayName(SimDisplayName(id, 0));
    MessageSink first, second;
    OB_RegisterNotifications(h, first.hwnd());
    OB_RegisterNotifications(h, second.hwnd());  // replaces the first
    tunersim::Unplug(id);
    ASSERT_TRUE(PumpUntil([&] { return second.log().size() == 1 && GeneralCountIs(2) && TwiceCountIs(4); }));
    EXPECT_TRUE(first.log().empty());

    ASSERT_EQ(OB_UnregisterNotifications(h), OB_SUCCESS);
    General().Clear();
    RegisteredTwice().Clear();
    tunersim::Plug(Wdm(id));
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    PumpFor(200);
    EXPECT_EQ(second.log().size(), 1u);
    EXPECT_TRUE(first.log().empty());
    OB_CloseDeviceHandle(h);
}

TEST_F(NotifyTest, TwoNewTunersInOneScanOneMessage) {
    const unsigned long before = DeviceCount();
    tunersim::Plug(Wdm("0000000000a00004"), false);
    tunersim::Plug(Bda("0000000000a00005"), false);
    tunersim::BroadcastDeviceChange();
    ASSERT_TRUE(PumpUntil([&] { return DeviceCount() == before + 2 && GeneralCountIs(1) && TwiceCountIs(2); }));
    PumpFor(200);
    EXPECT_EQ(General().CountOf(OMBREL_MSG_DEVICES_CHANGED), 1);
    EXPECT_EQ(RegisteredTwice().CountOf(OMBREL_MSG_DEVICES_CHANGED), 2);
}

TEST_F(NotifyTest, GeneralWindowMayCallBackIntoTheLibrary) {
    // What an application does on the message: count, reopen and close. A lock held
    // across the send would deadlock here.
    unsigned long seenCount = 0;
    unsigned long openResult = 99;
    unsigned long closeResult = 99;
    General().onMessage = [&](const Received&) {
        seenCount = DeviceCount();
        unsigned long h = 0;
        openResult = OB_OpenDeviceHandle(0, &h);
        closeResult = openResult == OB_SUCCESS ? OB_CloseDeviceHandle(h) : 98;
    };
    tunersim::Plug(Wdm("0000000000a00006"));
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    EXPECT_EQ(seenCount, 1u);
    EXPECT_EQ(openResult, OB_SUCCESS);
    EXPECT_EQ(closeResult, OB_SUCCESS);
}

TEST_F(NotifyTest, DestroyedWindowsAreSkipped) {
    const std::string id = "0000000000a00007";
    tunersim::Plug(Wdm(id));
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    unsigned long h = OpenByDisplayName(SimDisplayName(id, 0));
    {
        MessageSink gone;
        OB_RegisterNotifications(h, gone.hwnd());
        OB_RegisterGeneralNotifications(gone.hwnd());
    }
    General().Clear();
    RegisteredTwice().Clear();
    tunersim::Unplug(id);
    ASSERT_TRUE(PumpUntil([] { return GeneralCountIs(1) && TwiceCountIs(2); }));
    EXPECT_EQ(OB_IsDeviceAttached(h), 0);
    OB_CloseDeviceHandle(h);
}

// The window answers a device-change broadcast at once and scans afterwards, so that
// the broadcast does not wait for this process's scan (nor for what its windows do
// on 0x403). A change announced while a scan tells its windows is scanned for
// afterwards, and a device the table knows is not identified again.
TEST_F(NotifyTest, ABroadcastIsAnsweredBeforeTheScanAndAChangeDuringAScanIsNotLost) {
    const std::string slow = "0000000000a00008";
    const std::string later = "0000000000a00009";
    const unsigned long before = DeviceCount();
    tunersim::Plug(Wdm(slow), false);
    tunersim::InjectFault(slow, OMBREL_PROP_FIRMWARE_VERSION, tunersim::Direction::Get,
                          {tunersim::FaultKind::Delay, 0, 2000});
    HWND hidden = HiddenWindowOfThisProcess();
    ASSERT_NE(hidden, nullptr);
    // The scanning thread has no other top-level window that a broadcast would visit
    // next and find busy.
    int threadWindows = 0;
    EnumThreadWindows(GetWindowThreadProcessId(hidden, nullptr), [](HWND, LPARAM n) -> BOOL {
        ++*reinterpret_cast<int*>(n);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&threadWindows));
    EXPECT_EQ(threadWindows, 1);
    constexpr WPARAM kDevNodesChanged = 0x0007;
    auto identifications = [](const std::string& id) {
        return tunersim::Requests(id, OMBREL_PROP_FIRMWARE_VERSION).gets;
    };

    // A box comes while the scan that found the slow one tells this window, and is
    // announced to the window thread as it waits for this window to take the message.
    General().onMessage = [&](const Received&) {
        if (General().log().size() != 1) return;
        tunersim::Plug(Wdm(later), false);
        SendMessageW(hidden, WM_DEVICECHANGE, kDevNodesChanged, 0);
    };
    SendMessageW(hidden, WM_DEVICECHANGE, kDevNodesChanged, 0);
    EXPECT_EQ(DeviceCount(), before) << "the broadcast waited for the scan";
    EXPECT_TRUE(General().log().empty());
    ASSERT_TRUE(PumpUntil([&] { return identifications(slow) == 1; }));
    tunersim::ClearFaults(slow);
    ASSERT_TRUE(PumpUntil([&] { return DeviceCount() == before + 2 && GeneralCountIs(2) && TwiceCountIs(4); }));
    General().onMessage = nullptr;

    tunersim::Unplug(later);
    ASSERT_TRUE(PumpUntil([&] { return DeviceCount() == before + 1 && GeneralCountIs(3) && TwiceCountIs(6); }));
    PumpFor(200);
    EXPECT_EQ(General().CountOf(OMBREL_MSG_DEVICES_CHANGED), 3);
    EXPECT_EQ(identifications(slow), 1u);
    EXPECT_EQ(identifications(later), 1u);
}
