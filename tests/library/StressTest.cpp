// One thread plugs and unplugs while others count, open, query and close, and one
// closes handles that another is using. Nothing may crash, hang or answer outside
// the contract.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"

#include <objbase.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace libtest;

namespace {

const std::vector<std::string> kIds = {"00000000005a0001", "00000000005a0002", "00000000005a0003"};

struct Tally {
    std::atomic<int> opens{0};
    std::atomic<int> queries{0};
    std::atomic<int> contractBroken{0};
    std::mutex lock;
    std::vector<std::string> problems;
    void Broken(const std::string& what) {
        ++contractBroken;
        std::lock_guard g(lock);
        if (problems.size() < 20) problems.push_back(what);
    }
};

}  // namespace

TEST(Stress, PlugUnplugWhileOthersOpenQueryAndClose) {
    CoInitialize(nullptr);
    tunersim::Reset(false);
    ASSERT_EQ(OB_Initialize(), OB_SUCCESS);
    MessageSink general;
    OB_RegisterGeneralNotifications(general.hwnd());

    auto both = Wdm(kIds[2]);
    both.models = tunersim::kBoth;
    const std::vector<tunersim::DeviceProfile> boxes = {Wdm(kIds[0]), Bda(kIds[1]), both};
    for (const auto& s : boxes) tunersim::Plug(s, false);
    tunersim::BroadcastDeviceChange();
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 4; }));

    std::set<std::string> guids;
    for (const auto& id : kIds) {
        std::string g;
        for (int pair = 7; pair >= 0; --pair) g += id.substr(static_cast<size_t>(pair) * 2, 2);
        guids.insert(g);
    }

    std::atomic<bool> stop{false};
    std::atomic<unsigned long> shared{0};  // a handle one thread uses while another closes it
    Tally tally;

    std::thread plugger([&] {
        CoInitialize(nullptr);
        for (int round = 0; round < 12; ++round) {
            const auto& box = boxes[static_cast<size_t>(round) % boxes.size()];
            tunersim::Unplug(box.id);
            tunersim::Plug(box);
        }
        stop = true;
        CoUninitialize();
    });

    auto user = [&](bool closer) {
        CoInitialize(nullptr);
        while (!stop) {
            unsigned long count = 0;
            if (OB_GetNumberOfDevices(&count) != OB_SUCCESS || count > 4) tally.Broken("count");
            for (unsigned long i = 0; i < count + 1; ++i) {
                unsigned long h = 12345;
                const unsigned long r = OB_OpenDeviceHandle(i, &h);
                if (r == OB_FAILED) continue;  // gone meanwhile, or index past the end
                if (r != OB_SUCCESS || h == 0) {
                    tally.Broken("open " + std::to_string(r));
                    continue;
                }
                ++tally.opens;
                char guid[OMBREL_GUID_STRING_SIZE] = {};
                if (OB_GetGUIDString(h, guid) != OB_SUCCESS || !guids.count(guid)) tally.Broken(std::string("guid ") + guid);
                _OMBREL_FIRMWARE_VERSION fw;
                const unsigned long q = OB_GetFirmwareVersion(h, &fw);
                if (q != OB_SUCCESS && q != OB_FAILED) tally.Broken("firmware " + std::to_string(q));
                ++tally.queries;

                // Hand one handle to the other thread, take back whatever was there.
                const unsigned long previous = shared.exchange(h);
                if (previous) {
                    char text[OMBREL_DISPLAY_STRING_SIZE];
                    const unsigned long d = OB_GetDisplayString(previous, text);
                    if (d != OB_SUCCESS && d != OB_INVALID_HANDLE) tally.Broken("display " + std::to_string(d));
                    const unsigned long c = OB_CloseDeviceHandle(previous);
                    if (c != OB_SUCCESS && c != OB_INVALID_HANDLE) tally.Broken("close " + std::to_string(c));
                }
                if (closer) {
                    const unsigned long mine = shared.exchange(0);
                    if (mine) {
                        const unsigned long c = OB_CloseDeviceHandle(mine);
                        if (c != OB_SUCCESS && c != OB_INVALID_HANDLE) tally.Broken("close " + std::to_string(c));
                    }
                }
            }
        }
        CoUninitialize();
    };
    std::thread u1(user, false), u2(user, false), u3(user, true);

    const bool finished = PumpUntil([&] { return stop.load(); }, 120000);
    u1.join();
    u2.join();
    u3.join();
    plugger.join();
    ASSERT_TRUE(finished);
    if (unsigned long last = shared.exchange(0)) {
        EXPECT_EQ(OB_CloseDeviceHandle(last), OB_SUCCESS);
    }

    EXPECT_EQ(tally.contractBroken.load(), 0);
    for (const auto& p : tally.problems) ADD_FAILURE() << p;
    EXPECT_GT(tally.opens.load(), 0);
    EXPECT_GT(general.CountOf(OMBREL_MSG_DEVICES_CHANGED), 0);

    // The table settles to what is plugged, with no entry doubled.
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 4; }));
    EXPECT_EQ(WdmCount(), 2u);
    EXPECT_EQ(BdaCount(), 2u);
    std::set<std::string> names;
    for (unsigned long i = 0; i < 4; ++i) {
        unsigned long h = 0;
        ASSERT_EQ(OB_OpenDeviceHandle(i, &h), OB_SUCCESS);
        names.insert(DisplayStringOf(h));
        EXPECT_EQ(OB_CloseDeviceHandle(h), OB_SUCCESS);
    }
    EXPECT_EQ(names.size(), 4u);
    tunersim::Reset(true);
    EXPECT_TRUE(PumpUntil([] { return DeviceCount() == 0; }));
}
