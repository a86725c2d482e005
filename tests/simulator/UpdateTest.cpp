// Firmware flashing through the bound filter: the image check, time-based progress,
// the reboot that re-enumerates the box, scripted runs, a run whose process is gone.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "DeviceChangeWindow.h"
#include "FirmwareImage.h"
#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

struct Status {
    HRESULT hr = E_FAIL;
    uint8_t progress = 0, state = 0, error = 0;
};

class Update : public ::testing::Test {
protected:
    void SetUp() override { tunersim::Reset(false); }
    void TearDown() override { tunersim::Reset(false); }

    // Plugs a preset box with a short update timing and binds its tuner filter.
    void PlugBox(const char* preset, const std::string& id, unsigned models = tunersim::kWdm,
                 uint32_t durationMs = 600, uint32_t holdMs = 500) {
        auto profile = tunersim::Preset(preset);
        profile.id = id;
        profile.models = models;
        id_ = tunersim::Plug(profile, false);
        tunersim::SetUpdateTiming(id_, durationMs, holdMs);
        const auto info = *tunersim::Find(id_);
        names_ = info.displayNames;
        category_ = models & tunersim::kWdm ? &kWdmCategory : &kTunerCategory;
        filter_ = BindProperties(*category_, names_.front());
        ASSERT_TRUE(filter_);
    }

    Status Read() {
        const auto r = GetProperty(filter_.Get(), 18, 3);
        return {r.hr, r.data[0], r.data[1], r.data[2]};
    }

    HRESULT Send(const std::string& image) {
        return SetProperty(filter_.Get(), 17, image.data(), static_cast<DWORD>(image.size()));
    }

    // Polls get 18 like the updater (bounded) until the run ends; returns the last status.
    Status PollToEnd(std::vector<int>* progress = nullptr, DWORD timeoutMs = 10000) {
        Status s;
        for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
            s = Read();
            if (s.hr != S_OK || s.state == 8 || s.state == 10 || s.progress == 100) break;
            if (progress) progress->push_back(s.progress);
            Sleep(50);
        }
        if (progress && s.hr == S_OK) progress->push_back(s.progress);
        return s;
    }

    static std::string ImageFor(uint8_t line, uint8_t model, uint8_t revision) {
        const auto* entry = firmware::FindCatalogueEntry(line, model, revision);
        return entry ? firmware::BuildImage(*entry) : std::string();
    }

    ComApartment com_;
    std::string id_;
    std::vector<std::string> names_;
    const GUID* category_ = nullptr;
    ComPtr<IKsPropertySet> filter_;
};

TEST_F(Update, GoodImageRunsToHundredThenTheBoxRebootsWithTheNewVersion) {
    DeviceChangeWindow window;
    ASSERT_TRUE(window.Ready());
    PlugBox("talvex-s2", "0000000000000f01", tunersim::kBoth);
    EXPECT_TRUE(FAILED(Read().hr));  // no update yet

    const std::string image = ImageFor(1, 0x34, 4);
    ASSERT_EQ(image.size(), 368754u);
    EXPECT_EQ(Send(image), S_OK);
    const auto receipt = tunersim::LastImage(id_);
    EXPECT_EQ(receipt.count, 1u);
    EXPECT_EQ(receipt.length, 368754u);
    EXPECT_EQ(receipt.crc32, tunersim::ImageCrc32(image.data(), image.size()));

    std::vector<int> seen;
    const Status end = PollToEnd(&seen);
    EXPECT_EQ(end.hr, S_OK);
    EXPECT_EQ(end.progress, 100);
    EXPECT_EQ(end.state, 0);
    ASSERT_GE(seen.size(), 3u);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
    EXPECT_LT(seen.front(), 100);

    // The 100 stays visible for the hold time, then the box goes and comes back.
    EXPECT_EQ(Read().progress, 100);
    EXPECT_TRUE(window.WaitFor(2, 10000));
    bool back = false;
    for (int i = 0; i < 500 && !back; ++i) {
        const auto info = tunersim::Find(id_);
        back = info && info->plugged && window.Count() >= 2;
        if (!back) Sleep(10);
    }
    ASSERT_TRUE(back);
    const auto info = *tunersim::Find(id_);
    EXPECT_EQ(info.displayNames, names_);
    auto rebound = BindProperties(*category_, names_.front());
    ASSERT_TRUE(rebound);
    // 1.5.0 build 22720 (0x58C0): the image stores the build low byte first, the record
    // high byte first.
    EXPECT_EQ(GetProperty(rebound.Get(), 11, 8).data,
              (std::vector<uint8_t>{1, 0x34, 4, 1, 5, 0, 0x58, 0xC0}));
    EXPECT_EQ(info.profile.build, 22720);
    EXPECT_TRUE(BindProperties(kTunerCategory, names_[1]));
}

TEST_F(Update, TheTunerChecksTheImageAndReportsEachFaultWithItsCode) {
    const auto& base = firmware::DamageBase();
    PlugBox("talvex-sci-r1", "0000000000000f02");
    ASSERT_EQ(base.modelCode, 0x34);
    ASSERT_EQ(base.hardwareRevision, 1);
    for (const auto& variant : firmware::DamagedVariants()) {
        const std::string image = firmware::BuildDamagedImage(variant.damage, base);
        ASSERT_EQ(image.size(), 368754u);
        EXPECT_EQ(Send(image), S_OK) << variant.fileName;
        const Status s = Read();
        EXPECT_EQ(s.hr, S_OK) << variant.fileName;
        EXPECT_EQ(s.state, 8) << variant.fileName;
        EXPECT_EQ(s.error, variant.tunerCode) << variant.fileName;
    }
    // A good image of another revision: wrong hardware.
    EXPECT_EQ(Send(ImageFor(1, 0x34, 4)), S_OK);
    Status s = Read();
    EXPECT_EQ(s.state, 8);
    EXPECT_EQ(s.error, 9);
    Sleep(700);
    EXPECT_EQ(Read().state, 8);  // a rejected image stays rejected
    EXPECT_EQ(tunersim::Find(id_)->profile.versionMajor, 1);
    EXPECT_EQ(tunersim::Find(id_)->profile.versionMinor, 2);
    EXPECT_EQ(tunersim::LastImage(id_).count, firmware::DamagedVariants().size() + 1);
}

TEST_F(Update, OnlyAWholeImageIsAcceptedAndAnUnpluggedBoxHasNoStatus) {
    PlugBox("talvex-s2", "0000000000000f03");
    const std::string image = ImageFor(1, 0x34, 4);
    for (std::size_t length : {0u, 100u, 368753u, 368755u}) {
        std::string part = image.substr(0, std::min(length, image.size()));
        part.resize(length, '\n');
        EXPECT_TRUE(FAILED(SetProperty(filter_.Get(), 17, part.data(),
                                       static_cast<DWORD>(part.size()))))
            << length;
    }
    EXPECT_EQ(tunersim::LastImage(id_).count, 0u);
    EXPECT_TRUE(FAILED(Read().hr));
    EXPECT_TRUE(FAILED(GetProperty(filter_.Get(), 18, 4).hr));

    EXPECT_EQ(Send(image), S_OK);
    EXPECT_EQ(Read().hr, S_OK);
    tunersim::Unplug(id_, false);
    EXPECT_TRUE(FAILED(Read().hr));
    EXPECT_TRUE(FAILED(Send(image)));
    EXPECT_EQ(tunersim::LastImage(id_).count, 1u);
}

TEST_F(Update, ScriptedFailureStallAndDisappearance) {
    PlugBox("talvex-s2", "0000000000000f04");
    const std::string image = ImageFor(1, 0x34, 4);

    tunersim::ScriptUpdate(id_, {tunersim::ScriptKind::Fail, 30, 5, 10});
    ASSERT_EQ(Send(image), S_OK);
    Status s = PollToEnd();
    EXPECT_EQ(s.hr, S_OK);
    EXPECT_EQ(s.progress, 30);
    EXPECT_EQ(s.state, 10);
    EXPECT_EQ(s.error, 5);
    EXPECT_EQ(tunersim::Find(id_)->profile.versionMinor, 3);  // nothing was programmed

    tunersim::ScriptUpdate(id_, {tunersim::ScriptKind::Stall, 50, 0, 0});
    ASSERT_EQ(Send(image), S_OK);
    Sleep(1000);  // well past the 600 ms run
    s = Read();
    EXPECT_EQ(s.hr, S_OK);
    EXPECT_EQ(s.progress, 50);
    EXPECT_NE(s.state, 8);
    EXPECT_TRUE(tunersim::Find(id_)->plugged);

    DeviceChangeWindow window;
    ASSERT_TRUE(window.Ready());
    tunersim::ScriptUpdate(id_, {tunersim::ScriptKind::Vanish, 40, 0, 0});
    ASSERT_EQ(Send(image), S_OK);
    std::vector<int> seen;
    s = PollToEnd(&seen);
    EXPECT_TRUE(FAILED(s.hr));
    for (int p : seen) EXPECT_LT(p, 100);
    EXPECT_TRUE(window.WaitFor(1));
    Sleep(500);
    EXPECT_FALSE(tunersim::Find(id_)->plugged);
    EXPECT_EQ(BindFilter(*category_, names_.front()).Get(), nullptr);
    EXPECT_EQ(window.Count(), 1);  // it does not come back by itself

    tunersim::ScriptUpdate(id_, {});
    tunersim::DeviceProfile again;
    again.id = id_;
    tunersim::Plug(again, false);
    EXPECT_EQ(tunersim::Find(id_)->profile.versionMinor, 3);
}

TEST_F(Update, ARunWhoseProcessIsGoneIsFinishedByTheNextStatusRequest) {
    PlugBox("talvex-s2", "0000000000000f05", tunersim::kWdm, 300, 200);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "tunersim-test-image.hex";
    const std::string image = ImageFor(1, 0x34, 4);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);

    DeviceChangeWindow window;
    ASSERT_TRUE(window.Ready());
    const auto run = RunTool("flash " + id_ + " \"" + path + "\"");
    DeleteFileA(path.c_str());
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(tunersim::LastImage(id_).crc32, tunersim::ImageCrc32(image.data(), image.size()));

    Sleep(1200);  // past the run and its hold time: the tool's worker is gone
    EXPECT_TRUE(tunersim::Find(id_)->plugged);
    EXPECT_EQ(window.Count(), 0);
    const Status s = Read();
    EXPECT_EQ(s.hr, S_OK);
    EXPECT_EQ(s.progress, 100);
    EXPECT_TRUE(window.WaitFor(2));
    for (int i = 0; i < 300 && !tunersim::Find(id_)->plugged; ++i) Sleep(10);
    EXPECT_TRUE(tunersim::Find(id_)->plugged);
    EXPECT_EQ(tunersim::Find(id_)->profile.versionMinor, 5);

    const auto status = RunTool("status " + id_);
    EXPECT_EQ(status.exitCode, 0u) << status.output;
    EXPECT_NE(status.output.find("progress 100 state 0"), std::string::npos) << status.output;
}

}  // namespace
