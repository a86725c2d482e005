// The simulated driver's remote control through the bound filter: a key read (get 26) waits
// for a key pressed from this or another process, a cancel (set 27, no buffers) releases it,
// and the faults and the tool's key commands.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "RemoteKeymap.h"
#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

const HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_OPERATION_ABORTED);
const HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(10);
    }
    return true;
}

// A key read on a thread of its own, as the library's reader does it.
class PendingRead {
public:
    explicit PendingRead(IKsPropertySet* properties)
        : thread_([this, properties] {
              result_ = GetProperty(properties, 26, 2);
              done_ = true;
          }) {}
    PendingRead(const PendingRead&) = delete;
    PendingRead& operator=(const PendingRead&) = delete;
    ~PendingRead() { thread_.join(); }

    bool Done() const { return done_; }
    // The read's result once it has returned (a test failure if it does not in time).
    GetResult Result() {
        EXPECT_TRUE(WaitFor([this] { return Done(); })) << "the read did not return";
        return Done() ? result_ : GetResult{};
    }

private:
    std::atomic<bool> done_{false};
    GetResult result_;
    std::thread thread_;
};

HRESULT Cancel(IKsPropertySet* properties) { return properties->Set(kVendorSet, 27, nullptr, 0, nullptr, 0); }

class RemoteKeys : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset(false);
        auto profile = tunersim::Preset("talvex-s2");
        profile.id = id_;
        profile.models = tunersim::kBoth;
        tunersim::Plug(profile, false);
        const auto info = *tunersim::Find(id_);
        tuner_ = BindProperties(kTunerCategory, info.displayNames[1]);
        wdm_ = BindProperties(kWdmCategory, info.displayNames[0]);
        ASSERT_TRUE(tuner_ && wdm_);
    }
    void TearDown() override { tunersim::Reset(false); }

    // Until the box counts `n` reads waiting.
    bool Waiting(uint32_t n) {
        return WaitFor([&] { return tunersim::Remote(id_).waitingReads == n; });
    }

    ComApartment com_;
    const std::string id_ = "0000000000000c01";
    ComPtr<IKsPropertySet> tuner_, wdm_;
};

TEST_F(RemoteKeys, AReadWaitsForAKeyFromAnyProcessAndTakesThemInOrder) {
    DWORD support = 0;
    EXPECT_EQ(tuner_->QuerySupported(kVendorSet, 26, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_GET));
    EXPECT_EQ(tuner_->QuerySupported(kVendorSet, 27, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_SET));

    {
        PendingRead read(tuner_.Get());
        ASSERT_TRUE(Waiting(1));
        EXPECT_FALSE(read.Done());
        // Another process presses: the code goes out high byte first.
        const auto run = RunTool("press " + id_ + " ok");
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        const auto result = read.Result();
        EXPECT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.returned, 2u);
        EXPECT_EQ(result.data, (std::vector<uint8_t>{0x20, 0x15}));
    }
    // Keys pressed before any read wait in the box, in order, for whichever filter reads.
    ASSERT_EQ(RunTool("press " + id_ + " 1 2 vol+ 0x1234").exitCode, 0u);
    EXPECT_EQ(tunersim::PressKeys(id_, {0xBEEF, 0x0001}), 0u);
    const std::vector<std::vector<uint8_t>> expected = {
        {0x20, 0x01}, {0x20, 0x02}, {0x20, 0x16}, {0x12, 0x34}, {0xBE, 0xEF}, {0x00, 0x01}};
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto r = GetProperty(i % 2 ? wdm_.Get() : tuner_.Get(), 26, 2);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.data, expected[i]) << i;
    }
    const auto status = tunersim::Remote(id_);
    EXPECT_EQ(status.pressed, 7u);
    EXPECT_EQ(status.read, 7u);
    EXPECT_EQ(status.queued, 0u);
    EXPECT_EQ(tunersim::Requests(id_, 26).gets, 7u);
    // A wrong length is refused at once instead of waiting.
    EXPECT_EQ(GetProperty(tuner_.Get(), 26, 4).hr, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(RemoteKeys, ACancelReleasesAWaitingReadOrTheNextOneAndMustComeWithoutBuffers) {
    {
        PendingRead read(tuner_.Get());
        ASSERT_TRUE(Waiting(1));
        // With a buffer, or with instance data, it is no cancel.
        uint8_t byte = 0;
        EXPECT_EQ(tuner_->Set(kVendorSet, 27, nullptr, 0, &byte, 1), E_INVALIDARG);
        EXPECT_EQ(tuner_->Set(kVendorSet, 27, &byte, 1, nullptr, 0), E_INVALIDARG);
        EXPECT_EQ(tunersim::Remote(id_).malformedCancels, 2u);
        EXPECT_FALSE(read.Done());
        EXPECT_EQ(Cancel(tuner_.Get()), S_OK);
        EXPECT_EQ(read.Result().hr, kCancelled);
    }
    // Sent while no read waited (the reader between two reads): it ends the next read.
    EXPECT_EQ(Cancel(wdm_.Get()), S_OK);
    EXPECT_TRUE(tunersim::Remote(id_).cancelPending);
    EXPECT_EQ(GetProperty(tuner_.Get(), 26, 2).hr, kCancelled);
    {
        PendingRead read(tuner_.Get());
        ASSERT_TRUE(Waiting(1));
        tunersim::PressKey(id_, 0x2009);
        EXPECT_EQ(read.Result().data, (std::vector<uint8_t>{0x20, 0x09}));
    }
    const auto status = tunersim::Remote(id_);
    EXPECT_EQ(status.cancels, 2u);
    EXPECT_EQ(status.releasedReads, 2u);
    EXPECT_FALSE(status.cancelPending);
    EXPECT_EQ(tunersim::Requests(id_, 27).sets, 4u);
}

TEST_F(RemoteKeys, FaultsAndUnpluggingEndReadsAsADriverWould) {
    // Ignored cancels leave the read waiting until a key comes.
    ASSERT_EQ(RunTool("remote-fault " + id_ + " ignore-cancel").exitCode, 0u);
    {
        PendingRead read(tuner_.Get());
        ASSERT_TRUE(Waiting(1));
        EXPECT_EQ(Cancel(tuner_.Get()), S_OK);
        EXPECT_EQ(Cancel(tuner_.Get()), S_OK);
        EXPECT_TRUE(WaitFor([&] { return tunersim::Remote(id_).cancels == 2; }));
        Sleep(300);  // longer than a read's own look-again bound
        EXPECT_FALSE(read.Done());
        tunersim::PressKey(id_, 0x2000);
        EXPECT_EQ(read.Result().hr, S_OK);
    }
    // The next read fails, once; clearing the faults lets cancels work again.
    ASSERT_EQ(RunTool("remote-fault " + id_ + " fail-next").exitCode, 0u);
    EXPECT_EQ(GetProperty(tuner_.Get(), 26, 2).hr, E_FAIL);
    ASSERT_EQ(RunTool("remote-fault " + id_ + " none").exitCode, 0u);
    {
        PendingRead read(tuner_.Get());
        ASSERT_TRUE(Waiting(1));
        EXPECT_EQ(Cancel(tuner_.Get()), S_OK);
        EXPECT_EQ(read.Result().hr, kCancelled);
    }
    // The generic faults apply too.
    tunersim::InjectFault(id_, 26, tunersim::Direction::Get, {tunersim::FaultKind::False});
    EXPECT_EQ(GetProperty(tuner_.Get(), 26, 2).hr, S_FALSE);
    tunersim::ClearFaults(id_);
    // A box that goes away fails the read that waits on it.
    {
        PendingRead read(tuner_.Get());
        ASSERT_TRUE(Waiting(1));
        tunersim::Unplug(id_, false);
        EXPECT_EQ(read.Result().hr, kNotConnected);
    }
    EXPECT_EQ(tunersim::Remote(id_).waitingReads, 0u);
    EXPECT_THROW(tunersim::PressKey(id_, 0x2000), tunersim::Error);
}

TEST_F(RemoteKeys, TheToolPressesSequencesAndHeldKeysAndRefusesBadKeys) {
    // A held key repeats: at once, then every 100 ms for 400 ms.
    auto run = RunTool("hold " + id_ + " vol- 400 --every 100");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(tunersim::Remote(id_).queued, 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(GetProperty(tuner_.Get(), 26, 2).data, (std::vector<uint8_t>{0x20, 0x17}));

    run = RunTool("press " + id_ + " power up down --gap 20");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    for (const char* name : {"power", "up", "down"}) {
        const auto r = GetProperty(tuner_.Get(), 26, 2);
        EXPECT_EQ(r.data[0] << 8 | r.data[1], keymap::FindByName(name)->code) << name;
    }
    // More than the box keeps: the tool says how many were lost.
    std::string many = "press " + id_;
    for (int i = 0; i < 70; ++i) many += " 7";
    run = RunTool(many);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.output.find("6 keys dropped"), std::string::npos) << run.output;

    run = RunTool("keys");
    EXPECT_NE(run.output.find("vol+   0x2016  Volume +"), std::string::npos) << run.output;
    run = RunTool("remote " + id_);
    EXPECT_NE(run.output.find("queued 64"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("dropped 6"), std::string::npos) << run.output;

    struct Case {
        std::string arguments;
        const char* message;
    };
    const Case cases[] = {
        {"press " + id_ + " okay", "unknown key"},
        {"press " + id_ + " 12", "unknown key"},
        {"press " + id_ + " 0x10000", "key code"},
        {"press " + id_, "missing key"},
        {"press 0000000000000bad ok", "unknown device"},
        {"hold " + id_ + " ok 100 --every 0", "interval"},
        {"hold " + id_ + " ok", "missing duration"},
        {"remote-fault " + id_ + " explode", "bad remote fault"},
        {"remote 0000000000000bad", "unknown device"},
    };
    for (const auto& c : cases) {
        run = RunTool(c.arguments);
        EXPECT_NE(run.exitCode, 0u) << c.arguments;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << " -> " << run.output;
    }
    tunersim::Unplug(id_, false);
    run = RunTool("press " + id_ + " ok");
    EXPECT_NE(run.output.find("not plugged"), std::string::npos) << run.output;
}

}  // namespace
