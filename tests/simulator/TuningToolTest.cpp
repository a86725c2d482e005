// The front end through a bound filter, watched and steered by tunersim.exe from
// another process: settle time, the tuning view, the last request, faults, the sky.
#include <gtest/gtest.h>

#include <cstring>

#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

const std::string kId = "00000000000000f1";

class TuningTool : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset(false);
        auto profile = tunersim::Preset("nubrik-s2");
        profile.id = kId;
        tunersim::Plug(profile, false);
        properties_ = BindProperties(kWdmCategory, tunersim::Find(kId)->displayNames[0]);
        ASSERT_TRUE(properties_);
    }
    void TearDown() override { tunersim::Reset(false); }

    bool Contains(const ToolRun& run, const std::string& text) {
        return run.output.find(text) != std::string::npos;
    }

    ComApartment com_;
    ComPtr<IKsPropertySet> properties_;
};

TEST_F(TuningTool, ShowsTheTuningStateAndInjectsFaultsOnTheNewProperties) {
    auto run = RunTool("settle-time " + kId + " 0");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(tunersim::Tuning(kId).settleMs, 0u);

    run = RunTool("tuning " + kId);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(Contains(run, "satellite  power on  auto-tune on  input A  settle 0 ms")) << run.output;
    EXPECT_TRUE(Contains(run, "last tune: none")) << run.output;
    EXPECT_TRUE(Contains(run, "LOF 9750000/10600000 kHz  switch 11700000 kHz  tone auto  voltage auto"))
        << run.output;
    EXPECT_TRUE(Contains(run, "idle")) << run.output;

    // A 11362 H, 8PSK 2/3, as an application would select it.
    uint8_t tune[12] = {};
    const uint32_t kHz = 11362000, symbolRate = 22000;
    std::memcpy(tune, &kHz, 4);
    std::memcpy(tune + 4, &symbolRate, 4);
    tune[8] = 0;  // horizontal
    tune[9] = 2;  // 8PSK
    tune[10] = 2; // 2/3
    ASSERT_EQ(SetProperty(properties_.Get(), 0, tune, sizeof tune), S_OK);
    const uint16_t pids[] = {2, 0x0100, 0x2000};
    uint8_t pidList[60] = {};
    std::memcpy(pidList, pids, sizeof pids);
    ASSERT_EQ(SetProperty(properties_.Get(), 2, pidList, sizeof pidList), S_OK);

    run = RunTool("tuning " + kId);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(Contains(run, "last tune: set 0  11362000 kHz  22000 kS/s  H  8PSK  FEC 2/3  (tunes: 1)"))
        << run.output;
    EXPECT_TRUE(Contains(run, "PIDs: 0x0100 0x2000")) << run.output;
    EXPECT_TRUE(Contains(run, "locked  \"A 11362 H\" 11362000000 Hz  strength 74 %  quality 82 %"))
        << run.output;

    run = RunTool("last-request " + kId + " 0 set");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(Contains(run, "length 12: D0 5E AD 00 F0 55 00 00 00 02 02 00")) << run.output;
    ASSERT_EQ(GetProperty(properties_.Get(), 9, 28).hr, S_OK);
    run = RunTool("last-request " + kId + " 9 get");
    EXPECT_TRUE(Contains(run, "length 28\n") || Contains(run, "length 28\r")) << run.output;

    // The usual faults, per property and direction.
    ASSERT_EQ(RunTool("fault " + kId + " 30 get fail").exitCode, 0u);
    ASSERT_EQ(RunTool("fault " + kId + " 14 set false").exitCode, 0u);
    ASSERT_EQ(RunTool("fault " + kId + " 13 get short:5").exitCode, 0u);
    EXPECT_EQ(GetProperty(properties_.Get(), 30, 16).hr, E_FAIL);
    uint8_t lnb[42] = {};
    EXPECT_EQ(SetProperty(properties_.Get(), 14, lnb, sizeof lnb), S_FALSE);
    const auto shortAnswer = GetProperty(properties_.Get(), 13, 42);
    EXPECT_EQ(shortAnswer.hr, S_OK);
    EXPECT_EQ(shortAnswer.returned, 5u);
    EXPECT_EQ(shortAnswer.data[5], 0xCC);
    EXPECT_EQ(tunersim::Tuning(kId).lnbParameters[12], 2);  // the refused set changed nothing
    ASSERT_EQ(RunTool("clear-faults " + kId).exitCode, 0u);
    EXPECT_EQ(GetProperty(properties_.Get(), 30, 16).hr, S_OK);

    // A terrestrial box has no dish input and no LNB.
    auto terrestrial = tunersim::Preset("talvex-tci");
    terrestrial.id = "00000000000000f2";
    tunersim::Plug(terrestrial, false);
    run = RunTool("tuning 00000000000000f2");
    EXPECT_TRUE(Contains(run, "terrestrial  power on  auto-tune on  settle 300 ms")) << run.output;
    EXPECT_FALSE(Contains(run, "LNB")) << run.output;

    // Power off from the application's side shows in the view.
    const uint8_t off = 0;
    ASSERT_EQ(SetProperty(properties_.Get(), 15, &off, 1), S_OK);
    EXPECT_TRUE(Contains(RunTool("tuning " + kId), "powered off"));
}

TEST_F(TuningTool, ListsTheSkyAndRefusesBadInput) {
    const auto sky = RunTool("sky");
    ASSERT_EQ(sky.exitCode, 0u) << sky.output;
    EXPECT_TRUE(Contains(sky, "satellite input B  12380000 kHz V  27500 kS/s  IF 1780000 kHz, tone on"))
        << sky.output;
    EXPECT_TRUE(Contains(sky, "terrestrial    474000 kHz  8 MHz  QAM64")) << sky.output;
    EXPECT_TRUE(Contains(sky, "ATSC           593000 kHz  6 MHz  8VSB")) << sky.output;

    const struct {
        std::string arguments;
        const char* message;
    } cases[] = {
        {"settle-time " + kId + " 60001", "out of range"},
        {"settle-time " + kId, "missing settle time"},
        {"tuning 0000000000000bad", "unknown device"},
        {"last-request " + kId + " 64 set", "out of range"},
        {"last-request " + kId + " 0 up", "direction"},
    };
    for (const auto& c : cases) {
        const auto run = RunTool(c.arguments);
        EXPECT_NE(run.exitCode, 0u) << c.arguments;
        EXPECT_TRUE(Contains(run, c.message)) << c.arguments << " -> " << run.output;
    }
    EXPECT_EQ(tunersim::Tuning(kId).settleMs, 300u);
    const auto help = RunTool("help");
    for (const char* command : {"tuning", "settle-time", "last-request", "sky"})
        EXPECT_TRUE(Contains(help, std::string("  ") + command + " ")) << command;
}

}  // namespace
