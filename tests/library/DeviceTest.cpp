// Discovery, identity, strings and handles through the real DLL and the simulator.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"

#include <objbase.h>

#include <cstring>
#include <set>
#include <thread>

using namespace libtest;

namespace {

class DeviceTest : public SimTest {
protected:
    // Plugs the boxes with one broadcast, as a single change, and waits for the scan.
    void PlugAll(const std::vector<tunersim::DeviceProfile>& boxes, unsigned long expectedCount) {
        for (const auto& box : boxes) tunersim::Plug(box, false);
        tunersim::BroadcastDeviceChange();
        ASSERT_TRUE(PumpUntil([&] { return DeviceCount() == expectedCount; })) << DeviceCount();
    }
};

}  // namespace

TEST_F(DeviceTest, CountsAndOpensPerFamily) {
    auto both = Wdm("00000000000b0001");
    both.models = tunersim::kBoth;
    PlugAll({Wdm("00000000000a0001"), Bda("00000000000c0001"), both}, 4);
    EXPECT_EQ(WdmCount(), 2u);
    EXPECT_EQ(BdaCount(), 2u);

    std::set<std::string> all, wdm, bda;
    for (unsigned long i = 0; i < 4; ++i) {
        unsigned long h = 0;
        ASSERT_EQ(OB_OpenDeviceHandle(i, &h), OB_SUCCESS);
        all.insert(DisplayStringOf(h));
        EXPECT_EQ(OB_CloseDeviceHandle(h), OB_SUCCESS);
    }
    for (unsigned long i = 0; i < 2; ++i) {
        unsigned long h = 0;
        OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_BDA;
        ASSERT_EQ(OB_OpenWDMDeviceHandle(i, &h), OB_SUCCESS);
        ASSERT_EQ(OB_GetTunerType(h, &type), OB_SUCCESS);
        EXPECT_EQ(type, OMBREL_TUNER_TYPE_WDM);
        wdm.insert(DisplayStringOf(h));
        OB_CloseDeviceHandle(h);
        ASSERT_EQ(OB_OpenBDADeviceHandle(i, &h), OB_SUCCESS);
        ASSERT_EQ(OB_GetTunerType(h, &type), OB_SUCCESS);
        EXPECT_EQ(type, OMBREL_TUNER_TYPE_BDA);
        bda.insert(DisplayStringOf(h));
        OB_CloseDeviceHandle(h);
    }
    EXPECT_EQ(wdm, (std::set<std::string>{SimDisplayName("00000000000a0001", 0), SimDisplayName("00000000000b0001", 0)}));
    EXPECT_EQ(bda, (std::set<std::string>{SimDisplayName("00000000000c0001", 1), SimDisplayName("00000000000b0001", 1)}));
    std::set<std::string> both_sets = wdm;
    both_sets.insert(bda.begin(), bda.end());
    EXPECT_EQ(all, both_sets);

    unsigned long untouched = 5;
    EXPECT_EQ(OB_OpenWDMDeviceHandle(2, &untouched), OB_FAILED);
    EXPECT_EQ(OB_OpenBDADeviceHandle(2, &untouched), OB_FAILED);
    EXPECT_EQ(OB_OpenDeviceHandle(4, &untouched), OB_FAILED);
    EXPECT_EQ(untouched, 5u);
}

TEST_F(DeviceTest, IdentityAndStringsOfAWdmDevice) {
    PlugAll({Wdm("0012345678abcdef", 3)}, 1);
    const unsigned long h = OpenByDisplayName(SimDisplayName("0012345678abcdef", 0));
    ASSERT_NE(h, 0u);

    EXPECT_EQ(GuidStringOf(h), "efcdab7856341200");
    _OMBREL_GUID guid{};
    ASSERT_EQ(OB_GetGUID(h, &guid), OB_SUCCESS);
    EXPECT_EQ(guid.GuidLow, 0x78ABCDEFu);
    EXPECT_EQ(guid.GuidHigh, 0x00123456u);
    unsigned int subunit = 99;
    ASSERT_EQ(OB_GetSubunitID(h, &subunit), OB_SUCCESS);
    EXPECT_EQ(subunit, 3u);

    char device[OMBREL_DEVICE_STRING_SIZE];
    std::memset(device, 'x', sizeof device);
    ASSERT_EQ(OB_GetDeviceString(h, device), OB_SUCCESS);
    EXPECT_STREQ(device, "Talvex S2");  // default box: 1 / 0x34 / revision 4
    EXPECT_EQ(device[std::strlen("Talvex S2") + 1], 'x');  // copied up to the NUL only

    char* friendly = nullptr;
    ASSERT_EQ(OB_GetFriendlyString(h, &friendly), OB_SUCCESS);
    ASSERT_NE(friendly, nullptr);
    EXPECT_STREQ(friendly, "Ombrel WDM");

    IBaseFilter* filter = nullptr;
    EXPECT_EQ(OB_GetDirectShowFilter(h, &filter), OB_SUCCESS);
    EXPECT_NE(filter, nullptr);
    IBaseFilter* receiver = reinterpret_cast<IBaseFilter*>(1);
    EXPECT_EQ(OB_GetReceiverDirectShowFilter(h, &receiver), OB_FAILED);
    EXPECT_EQ(receiver, nullptr);
    EXPECT_EQ(OB_IsDeviceAttached(h), 1);
    EXPECT_EQ(OB_CloseDeviceHandle(h), OB_SUCCESS);
}

TEST_F(DeviceTest, BdaDeviceBindsItsReceiver) {
    auto box = Bda("00000000abcd0002", 2);
    box.productLine = 10;
    box.modelCode = 0x24;
    box.hardwareRevision = 7;
    PlugAll({box}, 1);
    unsigned long h = 0;
    ASSERT_EQ(OB_OpenBDADeviceHandle(0, &h), OB_SUCCESS);
    EXPECT_EQ(DisplayStringOf(h), SimDisplayName("00000000abcd0002", 1));
    IBaseFilter* tuner = nullptr;
    IBaseFilter* receiver = nullptr;
    EXPECT_EQ(OB_GetDirectShowFilter(h, &tuner), OB_SUCCESS);
    EXPECT_EQ(OB_GetReceiverDirectShowFilter(h, &receiver), OB_SUCCESS);
    EXPECT_NE(tuner, nullptr);
    EXPECT_NE(receiver, nullptr);
    EXPECT_NE(tuner, receiver);
    char device[OMBREL_DEVICE_STRING_SIZE] = {};
    ASSERT_EQ(OB_GetDeviceString(h, device), OB_SUCCESS);
    EXPECT_STREQ(device, "Ombrel DVB-C-CI");
    unsigned int subunit = 0;
    OB_GetSubunitID(h, &subunit);
    EXPECT_EQ(subunit, 2u);
    EXPECT_EQ(OB_CloseDeviceHandle(h), OB_SUCCESS);
}

TEST_F(DeviceTest, FriendlyNamesDecideWhatIsTaken) {
    auto lower = Wdm("0000000000000101");
    lower.wdmFriendlyName = "ombrel wdm";
    auto holtrim = Wdm("0000000000000102");
    holtrim.wdmFriendlyName = "Holtrim Capture";
    auto blank = Wdm("0000000000000103");
    blank.wdmFriendlyName = "Ombrel WDM ";
    auto prefix = Bda("0000000000000104");
    prefix.tunerFriendlyName = "Ombrel BDA Tuner";
    auto bdaLower = Bda("0000000000000105");
    bdaLower.tunerFriendlyName = "talvex bda tuner dvbs2";
    auto otherReceiver = Bda("0000000000000106");  // its receiver is not one of ours
    otherReceiver.receiverFriendlyName = "Some Receiver";
    PlugAll({lower, holtrim, blank, prefix, bdaLower, otherReceiver}, 4);

    EXPECT_EQ(WdmCount(), 2u);
    EXPECT_EQ(BdaCount(), 2u);
    EXPECT_EQ(OpenByDisplayName(SimDisplayName("0000000000000103", 0)), 0u);
    EXPECT_EQ(OpenByDisplayName(SimDisplayName("0000000000000104", 1)), 0u);
    const unsigned long h = OpenByDisplayName(SimDisplayName("0000000000000105", 1));
    EXPECT_NE(h, 0u);
    OB_CloseDeviceHandle(h);
    // Listed and counted, but without a receiver it cannot be opened.
    EXPECT_EQ(OpenByDisplayName(SimDisplayName("0000000000000106", 1)), 0u);
}

TEST_F(DeviceTest, UnusualDisplayNames) {
    auto noHash = Wdm("0000000000000201");
    noHash.wdmInstanceName = "plain-name-without-separators";
    auto longId = Wdm("0000000000000202");
    longId.wdmInstanceName = "talvexsim#vid_1d19#0#00112233445566778#{cat}";  // 17-character id
    auto shortId = Wdm("0000000000000203");
    shortId.wdmInstanceName = "talvexsim#5#12ab#{cat}";
    auto oneHash = Wdm("0000000000000204");
    oneHash.wdmInstanceName = "beef#tail";
    PlugAll({noHash, longId, shortId, oneHash}, 4);

    std::set<std::string> guids;
    for (unsigned long i = 0; i < 4; ++i) {
        unsigned long h = 0;
        ASSERT_EQ(OB_OpenDeviceHandle(i, &h), OB_SUCCESS);
        guids.insert(GuidStringOf(h));
        const std::string name = DisplayStringOf(h);
        unsigned int subunit = 0;
        OB_GetSubunitID(h, &subunit);
        if (name.find("#5#") != std::string::npos) {
            EXPECT_EQ(subunit, 5u);
        }
        if (name.find("beef#") != std::string::npos) {
            EXPECT_EQ(subunit, static_cast<unsigned int>(-1));  // no character before a second '#'
        }
        OB_CloseDeviceHandle(h);
    }
    // The 17-character id keeps its last 16 characters; the single '#' takes the whole
    // text before it, cut to its last 16 characters likewise.
    EXPECT_EQ(guids, (std::set<std::string>{"Error", "7867564534231201", "ab12000000000000", "efbe}\\86CE11C9A0"}));
}

TEST_F(DeviceTest, UnidentifiedDeviceIsListedAsError) {
    tunersim::Plug(Wdm("0000000000000301"), false);
    tunersim::InjectFault("0000000000000301", OMBREL_PROP_FIRMWARE_VERSION, tunersim::Direction::Get,
                          {tunersim::FaultKind::Fail, 0, 0});
    auto otherLine = Wdm("0000000000000302");
    otherLine.productLine = 2;
    tunersim::Plug(otherLine, false);
    tunersim::BroadcastDeviceChange();
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 2; }));

    for (const char* id : {"0000000000000301", "0000000000000302"}) {
        const unsigned long h = OpenByDisplayName(SimDisplayName(id, 0));
        ASSERT_NE(h, 0u) << id;
        char device[OMBREL_DEVICE_STRING_SIZE] = {};
        ASSERT_EQ(OB_GetDeviceString(h, device), OB_SUCCESS);
        EXPECT_STREQ(device, "Error") << id;
        OB_CloseDeviceHandle(h);
    }
}

TEST_F(DeviceTest, HandlesOnOneDevice) {
    PlugAll({Wdm("0000000000000401")}, 1);
    unsigned long a = 0, b = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(0, &a), OB_SUCCESS);
    ASSERT_EQ(OB_OpenDeviceHandle(0, &b), OB_SUCCESS);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(OB_CloseDeviceHandle(a), OB_SUCCESS);
    EXPECT_EQ(GuidStringOf(b), "0104000000000000");
    _OMBREL_FIRMWARE_VERSION v{};
    EXPECT_EQ(OB_GetFirmwareVersion(b, &v), OB_SUCCESS);
    EXPECT_EQ(OB_CloseDeviceHandle(a), OB_INVALID_HANDLE);
    EXPECT_EQ(OB_CloseDeviceHandle(b), OB_SUCCESS);
    EXPECT_EQ(OB_CloseDeviceHandle(b), OB_INVALID_HANDLE);

    // A closed handle's number is not given out again.
    unsigned long c = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(0, &c), OB_SUCCESS);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    OB_CloseDeviceHandle(c);
}

TEST_F(DeviceTest, UnknownHandlesTouchNothing) {
    PlugAll({Wdm("0000000000000501")}, 1);
    unsigned long live = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(0, &live), OB_SUCCESS);
    unsigned long closed = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(0, &closed), OB_SUCCESS);
    OB_CloseDeviceHandle(closed);
    const auto before = tunersim::Requests("0000000000000501", OMBREL_PROP_FIRMWARE_VERSION);

    for (unsigned long bad : {0ul, closed, live + 1000, 0xFFFFFFFFul,
                              static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&live))}) {
        OMBREL_TUNER_TYPE type = static_cast<OMBREL_TUNER_TYPE>(7);
        unsigned int subunit = 7;
        _OMBREL_GUID guid{7, 7};
        char text[OMBREL_DISPLAY_STRING_SIZE] = "untouched";
        char* friendly = text;
        IBaseFilter* filter = reinterpret_cast<IBaseFilter*>(7);
        EXPECT_EQ(OB_IsDeviceAttached(bad), 0);
        EXPECT_EQ(OB_GetTunerType(bad, &type), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetSubunitID(bad, &subunit), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetGUID(bad, &guid), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetGUIDString(bad, text), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetDisplayString(bad, text), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetDeviceString(bad, text), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetFriendlyString(bad, &friendly), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetDirectShowFilter(bad, &filter), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_GetReceiverDirectShowFilter(bad, &filter), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_RegisterNotifications(bad, HWND(1)), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_UnregisterNotifications(bad), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CloseDeviceHandle(bad), OB_INVALID_HANDLE);
        EXPECT_EQ(type, 7);
        EXPECT_EQ(subunit, 7u);
        EXPECT_EQ(guid.GuidLow, 7u);
        EXPECT_STREQ(text, "untouched");
        EXPECT_EQ(friendly, text);
        EXPECT_EQ(filter, reinterpret_cast<IBaseFilter*>(7));
    }
    EXPECT_EQ(tunersim::Requests("0000000000000501", OMBREL_PROP_FIRMWARE_VERSION).gets, before.gets);
    EXPECT_EQ(GuidStringOf(live), "0105000000000000");
    OB_CloseDeviceHandle(live);
}

TEST_F(DeviceTest, DetachedEntrySkippedButItsHandlesLive) {
    PlugAll({Wdm("0000000000000601"), Wdm("0000000000000602")}, 2);
    const unsigned long gone = OpenByDisplayName(SimDisplayName("0000000000000601", 0));
    ASSERT_NE(gone, 0u);
    tunersim::Unplug("0000000000000601");
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 1; }));

    EXPECT_EQ(OB_IsDeviceAttached(gone), 0);
    EXPECT_EQ(GuidStringOf(gone), "0106000000000000");
    _OMBREL_FIRMWARE_VERSION v{};
    EXPECT_EQ(OB_GetFirmwareVersion(gone, &v), OB_FAILED);  // the driver no longer answers

    unsigned long h = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(0, &h), OB_SUCCESS);
    EXPECT_EQ(DisplayStringOf(h), SimDisplayName("0000000000000602", 0));
    EXPECT_EQ(OB_OpenDeviceHandle(1, &h), OB_FAILED);
    EXPECT_EQ(OB_CloseDeviceHandle(gone), OB_SUCCESS);
}

TEST_F(DeviceTest, RequestsAreNotHeldBehindARescan) {
    PlugAll({Wdm("0000000000000701")}, 1);
    const unsigned long h = OpenByDisplayName(SimDisplayName("0000000000000701", 0));
    ASSERT_NE(h, 0u);

    // A new box whose identification takes long keeps the window thread's rescan busy.
    const std::string slow = "0000000000000702";
    tunersim::Plug(Wdm(slow), false);
    tunersim::InjectFault(slow, OMBREL_PROP_FIRMWARE_VERSION, tunersim::Direction::Get,
                          {tunersim::FaultKind::Delay, 0, 3000});
    std::thread broadcaster([] { tunersim::BroadcastDeviceChange(); });
    ASSERT_TRUE(PumpUntil([&] { return tunersim::Requests(slow, OMBREL_PROP_FIRMWARE_VERSION).gets >= 1; }));

    // While it waits on the driver, the table and the other device answer at once:
    // the scan has not merged yet when these calls are done.
    _OMBREL_FIRMWARE_VERSION fw;
    EXPECT_EQ(OB_GetFirmwareVersion(h, &fw), OB_SUCCESS);
    EXPECT_EQ(GuidStringOf(h), "0107000000000000");
    unsigned long other = 0;
    EXPECT_EQ(OB_OpenDeviceHandle(0, &other), OB_SUCCESS);
    EXPECT_EQ(OB_CloseDeviceHandle(other), OB_SUCCESS);
    EXPECT_EQ(DeviceCount(), 1u);

    EXPECT_TRUE(PumpUntil([] { return DeviceCount() == 2; }));
    broadcaster.join();
    OB_CloseDeviceHandle(h);
}
