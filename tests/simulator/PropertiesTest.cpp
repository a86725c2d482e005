// The vendor property set as the bound filter answers it: records, refusals, injected
// faults, request counters, concurrent requests.
#include <gtest/gtest.h>

#include <vfwmsgs.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

class Properties : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset(false);
        auto profile = tunersim::Preset("talvex-s2");
        profile.id = "0000000000000a01";
        profile.models = tunersim::kBoth;
        profile.driverVersion = "TVX 4.2.1.1810";
        profile.systemInfo = {1, 2, 3, 4, 5, 6, 7, 8};
        profile.boardTemperature = {0x2A, 0x01, 0x00, 0x7F};
        id_ = tunersim::Plug(profile, false);
        const auto info = *tunersim::Find(id_);
        wdmName_ = info.displayNames[0];
        tunerName_ = info.displayNames[1];
        receiverName_ = info.displayNames[2];
        wdm_ = BindProperties(kWdmCategory, wdmName_);
        ASSERT_TRUE(wdm_);
    }
    void TearDown() override { tunersim::Reset(false); }

    ComApartment com_;
    std::string id_, wdmName_, tunerName_, receiverName_;
    ComPtr<IKsPropertySet> wdm_;
};

TEST_F(Properties, GetsAnswerTheDeviceRecords) {
    auto r = GetProperty(wdm_.Get(), 11, 8);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.returned, 8u);
    // 1/0x34/4, 1.3.0, build 44650 = 0xAE6A high byte first.
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0x01, 0x34, 0x04, 0x01, 0x03, 0x00, 0xAE, 0x6A}));

    r = GetProperty(wdm_.Get(), 4, 21);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.returned, 21u);
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data.data()), "TVX 4.2.1.1810");
    for (std::size_t i = 14; i < 21; ++i) EXPECT_EQ(r.data[i], 0) << i;

    r = GetProperty(wdm_.Get(), 10, 8);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));

    r = GetProperty(wdm_.Get(), 24, 4);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.returned, 4u);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0x2A, 0x01, 0x00, 0x7F}));
}

TEST_F(Properties, ChangedStateShowsAtOnceOnEveryFilterOfTheBox) {
    auto tuner = BindProperties(kTunerCategory, tunerName_);
    ASSERT_TRUE(tuner);
    tunersim::SetFirmwareVersion(id_, 2, 5, 1, 0x0102);
    tunersim::SetIdentification(id_, 10, 0x24, 7);
    tunersim::SetDriverVersion(id_, "12345678901234567890");  // 20 characters
    for (IKsPropertySet* p : {wdm_.Get(), tuner.Get()}) {
        auto r = GetProperty(p, 11, 8);
        EXPECT_EQ(r.data, (std::vector<uint8_t>{10, 0x24, 7, 2, 5, 1, 0x01, 0x02}));
        r = GetProperty(p, 4, 21);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data.data()), 20),
                  "12345678901234567890");
        EXPECT_EQ(r.data[20], 0);
    }
    EXPECT_THROW(tunersim::SetDriverVersion(id_, "123456789012345678901"), tunersim::Error);
}

TEST_F(Properties, WrongLengthsNumbersDirectionsAndSetsAreRefused) {
    for (DWORD length : {0u, 7u, 9u, 64u}) {
        const auto r = GetProperty(wdm_.Get(), 11, length);
        EXPECT_TRUE(FAILED(r.hr)) << length;
        EXPECT_EQ(r.returned, 0u);
    }
    EXPECT_TRUE(FAILED(GetProperty(wdm_.Get(), 4, 20).hr));
    EXPECT_TRUE(FAILED(GetProperty(wdm_.Get(), 24, 8).hr));
    EXPECT_TRUE(FAILED(GetProperty(wdm_.Get(), 10, 4).hr));
    for (DWORD unknown : {1u, 3u, 7u, 19u, 29u, 63u, 64u, 1000u})
        EXPECT_EQ(GetProperty(wdm_.Get(), unknown, 8).hr, E_PROP_ID_UNSUPPORTED) << unknown;
    uint8_t record[8] = {};
    EXPECT_TRUE(FAILED(SetProperty(wdm_.Get(), 11, record, 8)));
    EXPECT_TRUE(FAILED(SetProperty(wdm_.Get(), 4, record, 8)));
    // A null data buffer of the right length.
    DWORD returned = 0;
    EXPECT_TRUE(FAILED(wdm_->Get(kVendorSet, 11, nullptr, 0, nullptr, 8, &returned)));

    const GUID other = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    std::vector<uint8_t> data(8), instance(8);
    EXPECT_EQ(wdm_->Get(other, 11, instance.data(), 8, data.data(), 8, &returned),
              E_PROP_SET_UNSUPPORTED);

    DWORD support = 0;
    EXPECT_EQ(wdm_->QuerySupported(kVendorSet, 11, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_GET));
    EXPECT_EQ(wdm_->QuerySupported(kVendorSet, 17, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_SET));
    EXPECT_TRUE(FAILED(wdm_->QuerySupported(kVendorSet, 3, &support)));
}

TEST_F(Properties, ReceiverComponentDoesNotCarryTheVendorSet) {
    auto receiver = BindProperties(kReceiverCategory, receiverName_);
    ASSERT_TRUE(receiver);
    EXPECT_EQ(GetProperty(receiver.Get(), 11, 8).hr, E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(tunersim::Requests(id_, 11).gets, 0u);
}

TEST_F(Properties, UnpluggedBoxFailsAndTheSameFilterWorksAgainAfterReplug) {
    auto tuner = BindProperties(kTunerCategory, tunerName_);
    ASSERT_TRUE(tuner);
    tunersim::Unplug(id_, false);
    for (IKsPropertySet* p : {wdm_.Get(), tuner.Get()}) {
        for (auto [number, length] : {std::pair<DWORD, DWORD>{11, 8}, {4, 21}, {10, 8}, {24, 4}}) {
            const auto r = GetProperty(p, number, length);
            EXPECT_TRUE(FAILED(r.hr)) << number;
            EXPECT_NE(r.hr, S_FALSE);
        }
    }
    EXPECT_EQ(BindFilter(kWdmCategory, wdmName_).Get(), nullptr);

    tunersim::DeviceProfile again;
    again.id = id_;
    tunersim::Plug(again, false);
    EXPECT_EQ(GetProperty(wdm_.Get(), 11, 8).hr, S_OK);
    EXPECT_EQ(GetProperty(tuner.Get(), 11, 8).hr, S_OK);

    // A forgotten box no longer answers even through a filter bound earlier.
    tunersim::Remove(id_, false);
    EXPECT_TRUE(FAILED(GetProperty(wdm_.Get(), 11, 8).hr));
}

TEST_F(Properties, InjectedFaultsComeBackAsInjected) {
    using tunersim::Direction;
    using tunersim::FaultKind;
    tunersim::InjectFault(id_, 11, Direction::Get, {FaultKind::Fail, 0, 0});
    EXPECT_EQ(GetProperty(wdm_.Get(), 11, 8).hr, E_FAIL);

    tunersim::InjectFault(id_, 11, Direction::Get, {FaultKind::False, 0, 0});
    EXPECT_EQ(GetProperty(wdm_.Get(), 11, 8).hr, S_FALSE);

    tunersim::InjectFault(id_, 11, Direction::Get, {FaultKind::Short, 3, 0});
    auto r = GetProperty(wdm_.Get(), 11, 8, 0xCC);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.returned, 3u);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0x01, 0x34, 0x04, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}));

    // Faults belong to one property and direction.
    EXPECT_EQ(GetProperty(wdm_.Get(), 10, 8).hr, S_OK);
    tunersim::InjectFault(id_, 17, Direction::Set, {FaultKind::Fail, 0, 0});
    std::vector<uint8_t> image(368754, ':');
    EXPECT_EQ(SetProperty(wdm_.Get(), 17, image.data(), 368754), E_FAIL);
    tunersim::InjectFault(id_, 17, Direction::Set, {FaultKind::False, 0, 0});
    EXPECT_EQ(SetProperty(wdm_.Get(), 17, image.data(), 368754), S_FALSE);

    tunersim::ClearFaults(id_);
    r = GetProperty(wdm_.Get(), 11, 8);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.returned, 8u);
    EXPECT_THROW(tunersim::InjectFault("00000000000fffff", 11, Direction::Get, {}),
                 tunersim::Error);
    EXPECT_THROW(tunersim::InjectFault(id_, 64, Direction::Get, {}), tunersim::Error);
}

TEST_F(Properties, FaultsAreKeptPerBox) {
    auto other = tunersim::Preset("pellary");
    other.id = "0000000000000a02";
    tunersim::Plug(other, false);
    auto second = BindProperties(kWdmCategory, tunersim::Find(other.id)->displayNames[0]);
    ASSERT_TRUE(second);
    tunersim::InjectFault(id_, 24, tunersim::Direction::Get, {tunersim::FaultKind::Fail, 0, 0});
    EXPECT_EQ(GetProperty(wdm_.Get(), 24, 4).hr, E_FAIL);
    EXPECT_EQ(GetProperty(second.Get(), 24, 4).hr, S_OK);
    EXPECT_EQ(GetProperty(second.Get(), 11, 8).data[1], 0x14);
}

TEST_F(Properties, DelayedRequestHoldsNoLockAgainstOtherRequests) {
    tunersim::InjectFault(id_, 24, tunersim::Direction::Get,
                          {tunersim::FaultKind::Delay, 0, 1500});
    std::atomic<bool> delayedDone{false};
    HRESULT delayedResult = E_UNEXPECTED;
    std::vector<uint8_t> delayedData;
    std::thread delayed([&] {
        ComApartment com;
        auto p = BindProperties(kWdmCategory, wdmName_);
        if (p) {
            const auto r = GetProperty(p.Get(), 24, 4);
            delayedResult = r.hr;
            delayedData = r.data;
        }
        delayedDone = true;
    });
    // Wait (bounded) until the delayed request has reached the box.
    for (int i = 0; i < 200 && tunersim::Requests(id_, 24).gets == 0; ++i) Sleep(10);
    ASSERT_EQ(tunersim::Requests(id_, 24).gets, 1u);
    // Another request of the same box is served while the first one sleeps.
    EXPECT_EQ(GetProperty(wdm_.Get(), 11, 8).hr, S_OK);
    tunersim::SetFirmwareVersion(id_, 1, 1, 1, 1);
    EXPECT_FALSE(delayedDone.load());
    delayed.join();
    EXPECT_EQ(delayedResult, S_OK);
    EXPECT_EQ(delayedData, (std::vector<uint8_t>{0x2A, 0x01, 0x00, 0x7F}));
}

TEST_F(Properties, RequestsAreCountedPerPropertyAndDirectionWhateverTheirOutcome) {
    EXPECT_EQ(tunersim::Requests(id_, 11).gets, 0u);
    GetProperty(wdm_.Get(), 11, 8);
    GetProperty(wdm_.Get(), 11, 8);
    GetProperty(wdm_.Get(), 11, 5);  // refused, but it reached the box
    uint8_t record[8] = {};
    SetProperty(wdm_.Get(), 11, record, 8);
    GetProperty(wdm_.Get(), 4, 21);
    GetProperty(wdm_.Get(), 30, 16);
    tunersim::Unplug(id_, false);
    GetProperty(wdm_.Get(), 11, 8);

    const auto eleven = tunersim::Requests(id_, 11);
    EXPECT_EQ(eleven.gets, 4u);
    EXPECT_EQ(eleven.sets, 1u);
    EXPECT_EQ(tunersim::Requests(id_, 4).gets, 1u);
    EXPECT_EQ(tunersim::Requests(id_, 30).gets, 1u);
    EXPECT_EQ(tunersim::Requests(id_, 10).gets, 0u);
    EXPECT_THROW(tunersim::Requests("00000000000fffff", 11), tunersim::Error);
    EXPECT_THROW(tunersim::Requests("not-an-id", 11), tunersim::Error);
}

TEST_F(Properties, ConcurrentRequestsFromManyThreadsAreServedConsistently) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 150;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ComApartment com;
            auto p = BindProperties(t % 2 ? kTunerCategory : kWdmCategory,
                                    t % 2 ? tunerName_ : wdmName_);
            if (!p) return;
            for (int i = 0; i < kPerThread; ++i) {
                const auto r = GetProperty(p.Get(), 11, 8);
                // Either version, never a mix of two.
                const bool before = r.data == std::vector<uint8_t>{1, 0x34, 4, 1, 3, 0, 0xAE, 0x6A};
                const bool after = r.data == std::vector<uint8_t>{1, 0x34, 4, 7, 7, 7, 0x07, 0x07};
                if (r.hr == S_OK && (before || after)) ++good;
            }
        });
    }
    tunersim::SetFirmwareVersion(id_, 7, 7, 7, 0x0707);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(good.load(), kThreads * kPerThread);
    EXPECT_EQ(tunersim::Requests(id_, 11).gets, static_cast<uint32_t>(kThreads * kPerThread));
}

}  // namespace
