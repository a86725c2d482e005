// The companions' reading of the tuners, in this process, against the real library and
// the simulator: what it reads, and that it gives back every handle it opened.
#include <gtest/gtest.h>

#include <windows.h>

#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include <algorithm>

#include "SimulatedBox.h"
#include "TunerList.h"

namespace companion {
namespace {

using companion_test::Box;

class TunerListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(OB_Initialize(), OB_SUCCESS); }

    void SetUp() override { tunersim::Reset(); }
    void TearDown() override { tunersim::Reset(); }

    // Reads until the library's table shows `count` attached devices: the plug's
    // broadcast is handled by the library's own thread.
    static void WaitForDevices(unsigned long count) {
        for (int i = 0; i < 200; ++i) {
            unsigned long attached = 0;
            OB_GetNumberOfDevices(&attached);
            if (attached == count) {
                return;
            }
            Sleep(25);
        }
        FAIL() << "the library did not see " << count << " devices";
    }

    static std::vector<unsigned long> Handles(const TunerList& list) {
        std::vector<unsigned long> handles;
        for (const TunerInfo& tuner : list.tuners()) {
            if (tuner.opened) {
                handles.push_back(tuner.handle);
            }
        }
        return handles;
    }

    // A handle the library no longer knows cannot be closed again.
    static void ExpectAllClosed(const std::vector<unsigned long>& handles) {
        for (unsigned long handle : handles) {
            EXPECT_EQ(OB_CloseDeviceHandle(handle), OB_INVALID_HANDLE) << "handle " << handle << " was left open";
        }
    }
};

TEST_F(TunerListTest, ReadsModelGuidDriverModelAndSlotOfEachDevice) {
    tunersim::Plug(Box("0012345678abcdef", 1, 0x34, 4, tunersim::kBoth));
    tunersim::Plug(Box("00000000000012ab", 10, 0x25, 0, tunersim::kWdm));
    WaitForDevices(3);

    TunerList list;
    list.Refresh();
    ASSERT_EQ(list.tuners().size(), 3u);
    int wdmS2 = 0, bdaS2 = 0, atsc = 0;
    for (const TunerInfo& tuner : list.tuners()) {
        ASSERT_TRUE(tuner.opened);
        EXPECT_NE(tuner.handle, 0u);
        if (tuner.model == "Talvex S2") {
            EXPECT_EQ(tuner.guid, "efcdab7856341200");
            EXPECT_TRUE(tuner.commonInterface);
            ++(tuner.bda ? bdaS2 : wdmS2);
        } else {
            EXPECT_EQ(tuner.model, "Ombrel ATSC");
            EXPECT_EQ(tuner.guid, "ab12000000000000");
            EXPECT_FALSE(tuner.bda);
            EXPECT_FALSE(tuner.commonInterface);  // the library's word, as OB_CI_Open's
            ++atsc;
        }
    }
    EXPECT_EQ(wdmS2, 1);
    EXPECT_EQ(bdaS2, 1);
    EXPECT_EQ(atsc, 1);

    auto handles = Handles(list);
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(std::adjacent_find(handles.begin(), handles.end()), handles.end()) << "one handle per tuner";
}

TEST_F(TunerListTest, GivesBackEveryHandleOnClearAndOnDestruction) {
    tunersim::Plug(Box("0a0b0c0d0e0f1011", 1, 0x36, 1, tunersim::kBoth));
    WaitForDevices(2);

    std::vector<unsigned long> handles;
    {
        TunerList list;
        list.Refresh();
        handles = Handles(list);
        ASSERT_EQ(handles.size(), 2u);
        list.Clear();
        EXPECT_TRUE(list.tuners().empty());
        ExpectAllClosed(handles);

        list.Refresh();
        handles = Handles(list);
        ASSERT_EQ(handles.size(), 2u);
    }
    ExpectAllClosed(handles);
}

TEST_F(TunerListTest, ReadingAgainReplacesTheTunersAndTheirHandles) {
    tunersim::Plug(Box("0a0b0c0d0e0f1011", 1, 0x36, 1, tunersim::kWdm));
    WaitForDevices(1);
    TunerList list;
    list.Refresh();
    ASSERT_EQ(list.tuners().size(), 1u);

    tunersim::Unplug("0a0b0c0d0e0f1011");
    WaitForDevices(0);
    list.Refresh();
    EXPECT_TRUE(list.tuners().empty());

    // The same device again: the library's old entry, opened afresh.
    tunersim::Plug(Box("0a0b0c0d0e0f1011", 1, 0x36, 1, tunersim::kWdm));
    WaitForDevices(1);
    list.Refresh();
    ASSERT_EQ(list.tuners().size(), 1u);
    EXPECT_EQ(list.tuners()[0].model, "Talvex C/CI");
    const unsigned long handle = list.tuners()[0].handle;
    list.Clear();
    ExpectAllClosed({handle});
}

TEST_F(TunerListTest, ListsADeviceThatCannotBeOpenedWithoutAHandle) {
    // A BDA tuner without its receiver component is counted but cannot be opened.
    auto box = Box("0000000000000abc", 1, 0x34, 4, tunersim::kBda);
    box.withReceiver = false;
    tunersim::Plug(box);
    tunersim::Plug(Box("0000000000000def", 1, 0x14, 0, tunersim::kWdm));
    WaitForDevices(2);

    TunerList list;
    list.Refresh();
    ASSERT_EQ(list.tuners().size(), 2u);
    const auto unopened = std::count_if(list.tuners().begin(), list.tuners().end(),
                                        [](const TunerInfo& tuner) { return !tuner.opened; });
    EXPECT_EQ(unopened, 1);
    for (const TunerInfo& tuner : list.tuners()) {
        if (!tuner.opened) {
            EXPECT_EQ(tuner.handle, 0u);
            EXPECT_TRUE(tuner.model.empty());
        } else {
            EXPECT_EQ(tuner.model, "Pellary SATV");
        }
    }
}

}  // namespace
}  // namespace companion
