// Plain units of the simulator: names and ids, the update life cycle, the answers of
// the property set on a bare record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "Crc32.h"
#include "DeviceNames.h"
#include "PropertyLogic.h"
#include "StateCheck.h"
#include "UpdateLogic.h"

namespace {

using namespace tunersim;
using layout::DeviceRecord;
using layout::ScriptAction;
using layout::UpdatePhase;

TEST(Names, IdsAreSixteenHexDigitsComparedWithoutCase) {
    EXPECT_TRUE(names::IsValidId("0012345678abcdef"));
    EXPECT_TRUE(names::IsValidId("0012345678ABCDEF"));
    EXPECT_FALSE(names::IsValidId("0012345678abcde"));
    EXPECT_FALSE(names::IsValidId("0012345678abcdef0"));
    EXPECT_FALSE(names::IsValidId("0012345678abcdeg"));
    EXPECT_FALSE(names::IsValidId(""));
    EXPECT_TRUE(names::SameId("00ab", "00AB"));
    EXPECT_FALSE(names::SameId("00ab", "00ac"));
    EXPECT_EQ(names::IdFromNumber(0x12345678abcdefull), "0012345678abcdef");
}

TEST(Names, InstanceNamesPutSubunitAndIdBeforeTheCategory) {
    const std::string name =
        names::StandardInstanceName(layout::kRoleTuner, 0x34, 7, "0012345678abcdef");
    EXPECT_EQ(name.substr(name.size() - 58),
              "#7#0012345678abcdef#{71985f48-1ca1-11d3-9cc8-00c04f7971e0}");
    EXPECT_EQ(name.find('\\'), std::string::npos);
    EXPECT_EQ(names::DisplayName(layout::kRoleReceiver, "x#1#00#y"),
              "@device:sw:{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}\\x#1#00#y");
    EXPECT_TRUE(names::InstanceNameProblem("a\\b").has_value());
    EXPECT_TRUE(names::InstanceNameProblem("").has_value());
    EXPECT_TRUE(names::InstanceNameProblem(std::string(261, 'a')).has_value());
    EXPECT_FALSE(names::InstanceNameProblem(std::string(260, 'a')).has_value());
    EXPECT_TRUE(names::FriendlyNameProblem(std::string(128, 'a')).has_value());
}

TEST(Crc, MatchesTheStandardCheckValue) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32(""), 0u);
}

DeviceRecord PluggedRecord() {
    DeviceRecord d;
    std::memset(&d, 0, sizeof d);
    d.used = 1;
    d.plugged = 1;
    d.productLine = 1;
    d.modelCode = 0x34;
    d.hardwareRevision = 4;
    d.versionMajor = 1;
    d.versionMinor = 3;
    d.build = 44650;
    d.updateDurationMs = 1000;
    d.updateHoldMs = 500;
    return d;
}

update::ImageVerdict Good() { return {0, 1, 5, 0, 22720}; }

TEST(Update, ProgressFollowsTheClockAndTheVersionChangesAt100) {
    DeviceRecord d = PluggedRecord();
    EXPECT_FALSE(update::StatusAt(d.update, 0).has_value());
    update::Start(d, Good(), 10000, 368754, 0x1234);
    EXPECT_EQ(d.update.phase, UpdatePhase::Running);
    EXPECT_EQ(update::StatusAt(d.update, 10000)->progress, 0);
    EXPECT_EQ(update::StatusAt(d.update, 10250)->progress, 25);
    EXPECT_EQ(update::StatusAt(d.update, 10250)->state, update::kStateRunning);
    update::Advance(d, 10999);
    EXPECT_EQ(d.versionMajor, 1);
    EXPECT_EQ(d.build, 44650);
    const auto done = update::StatusAt(d.update, 11000);
    EXPECT_EQ(done->progress, 100);
    EXPECT_EQ(done->state, 0);
    update::Advance(d, 11000);
    EXPECT_EQ(d.versionMinor, 5);
    EXPECT_EQ(d.build, 22720);
    // Reboot once 100 % has been shown for the hold time.
    EXPECT_EQ(update::DueAt(d.update, 11499), update::Due::Nothing);
    EXPECT_EQ(update::DueAt(d.update, 11500), update::Due::Reboot);
    EXPECT_EQ(*update::NextDeadline(d.update), 11500);
    EXPECT_EQ(d.update.lastImageLength, 368754u);
    EXPECT_EQ(d.update.imagesReceived, 1u);
}

TEST(Update, RejectedImageReportsItsCodeAtOnceAndChangesNothing) {
    DeviceRecord d = PluggedRecord();
    update::Start(d, {9, 0, 0, 0, 0}, 5000, 368754, 0);
    const auto status = update::StatusAt(d.update, 5000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->state, update::kStateFailed);
    EXPECT_EQ(status->errorCode, 9);
    EXPECT_FALSE(update::NextDeadline(d.update).has_value());
    update::Advance(d, 99999);
    EXPECT_EQ(d.build, 44650);
}

TEST(Update, ScriptedRunsFailStallOrVanishAtTheirPercentage) {
    DeviceRecord d = PluggedRecord();
    d.script = {ScriptAction::Fail, 40, 5, 10, 0};
    update::Start(d, Good(), 0, 368754, 0);
    EXPECT_EQ(update::StatusAt(d.update, 390)->state, update::kStateRunning);
    auto s = *update::StatusAt(d.update, 400);
    EXPECT_EQ(s.progress, 40);
    EXPECT_EQ(s.state, 10);
    EXPECT_EQ(s.errorCode, 5);
    update::Advance(d, 2000);
    EXPECT_EQ(d.update.phase, UpdatePhase::Failed);
    EXPECT_EQ(update::StatusAt(d.update, 9000)->state, 10);
    EXPECT_EQ(d.build, 44650);
    EXPECT_FALSE(update::NextDeadline(d.update).has_value());

    d = PluggedRecord();
    d.script = {ScriptAction::Stall, 60, 0, 0, 0};
    update::Start(d, Good(), 0, 368754, 0);
    EXPECT_EQ(update::StatusAt(d.update, 500)->progress, 50);
    EXPECT_EQ(update::StatusAt(d.update, 100000)->progress, 60);
    EXPECT_EQ(update::DueAt(d.update, 100000), update::Due::Nothing);

    d = PluggedRecord();
    d.script = {ScriptAction::Vanish, 30, 0, 0, 0};
    update::Start(d, Good(), 0, 368754, 0);
    EXPECT_EQ(update::StatusAt(d.update, 290)->progress, 29);
    EXPECT_EQ(update::DueAt(d.update, 299), update::Due::Nothing);
    EXPECT_EQ(update::DueAt(d.update, 300), update::Due::Vanish);
    // Still there, and still running, until the driver unplugs it.
    EXPECT_EQ(update::StatusAt(d.update, 5000)->progress, 30);
    EXPECT_EQ(update::StatusAt(d.update, 5000)->state, update::kStateRunning);
    d.update.phase = UpdatePhase::Vanished;
    EXPECT_FALSE(update::StatusAt(d.update, 5000).has_value());
    d.update.phase = UpdatePhase::Running;
    d.update.script = {ScriptAction::Vanish, 100, 0, 0, 0};
    EXPECT_EQ(update::StatusAt(d.update, 5000)->state, update::kStateRunning);
}

TEST(Update, ZeroDurationFinishesAtOnce) {
    DeviceRecord d = PluggedRecord();
    d.updateDurationMs = 0;
    update::Start(d, Good(), 100, 368754, 0);
    EXPECT_EQ(update::StatusAt(d.update, 100)->progress, 100);
}

TEST(Update, TimesAtTheEndsOfTheClockGivePlainAnswers) {
    // What a damaged state file may hold: a run that started at the clock's beginning
    // is long over, one that starts at its end has not begun, and its deadline is the
    // end of the clock rather than a time in the past.
    DeviceRecord d = PluggedRecord();
    d.updateDurationMs = 0xFFFFFFFF;
    d.updateHoldMs = 0xFFFFFFFF;
    update::Start(d, Good(), INT64_MIN + 5, 368754, 0);
    EXPECT_EQ(update::StatusAt(d.update, INT64_MAX - 5)->progress, 100);
    EXPECT_EQ(update::DueAt(d.update, INT64_MAX - 5), update::Due::Reboot);

    update::Start(d, Good(), INT64_MAX - 5, 368754, 0);
    EXPECT_EQ(update::StatusAt(d.update, INT64_MIN + 5)->progress, 0);
    EXPECT_EQ(update::NextDeadline(d.update), INT64_MAX);
    EXPECT_EQ(update::DueAt(d.update, INT64_MAX - 6), update::Due::Nothing);
    d.update.script = {ScriptAction::Vanish, 100, 0, 0, 0};
    EXPECT_EQ(update::NextDeadline(d.update), INT64_MAX);
}

update::ImageVerdict CheckReturnsFour(std::string_view, uint8_t, uint8_t, uint8_t) {
    return {4, 0, 0, 0, 0};
}

TEST(PropertyAnswers, ShortFaultFillsOnlyTheReportedBytes) {
    DeviceRecord d = PluggedRecord();
    uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    const auto answer = property::Get(d, 11, out, 8, {3, 2, 0}, 0);
    EXPECT_EQ(answer.outcome, property::Outcome::Ok);
    EXPECT_EQ(answer.bytes, 2u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 0x34);
    EXPECT_EQ(out[2], 0xEE);
    // A short count larger than the record is the record.
    EXPECT_EQ(property::Get(d, 11, out, 8, {3, 100, 0}, 0).bytes, 8u);
}

TEST(PropertyAnswers, UpdateStatusNeedsARunAndSetSeventeenNeedsTheWholeImage) {
    DeviceRecord d = PluggedRecord();
    uint8_t status[3];
    EXPECT_EQ(property::Get(d, 18, status, 3, {}, 0).outcome, property::Outcome::NoStatus);
    std::string image(368754, ':');
    const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
    EXPECT_EQ(property::Set(d, 17, bytes, 368753, {}, 0, CheckReturnsFour).outcome,
              property::Outcome::BadLength);
    EXPECT_EQ(property::Set(d, 17, bytes, 368755, {}, 0, CheckReturnsFour).outcome,
              property::Outcome::BadLength);
    EXPECT_EQ(d.update.imagesReceived, 0u);
    EXPECT_EQ(property::Set(d, 17, bytes, 368754, {}, 0, CheckReturnsFour).outcome,
              property::Outcome::Ok);
    EXPECT_EQ(d.update.lastImageCrc, Crc32(image));
    ASSERT_EQ(property::Get(d, 18, status, 3, {}, 0).outcome, property::Outcome::Ok);
    EXPECT_EQ(status[1], 8);
    EXPECT_EQ(status[2], 4);
    d.plugged = 0;
    EXPECT_EQ(property::Get(d, 18, status, 3, {}, 0).outcome, property::Outcome::Unplugged);
}

}  // namespace

namespace {

// A state as plugging writes it: one box in use.
std::unique_ptr<layout::SharedState> SoundState() {
    auto state = std::make_unique<layout::SharedState>();
    std::memset(state.get(), 0, sizeof *state);
    state->magic = layout::kMagic;
    state->layoutVersion = layout::kLayoutVersion;
    state->size = sizeof *state;
    DeviceRecord& d = state->devices[3];
    d = PluggedRecord();
    d.models = 3;
    d.subunit = 9;
    std::strcpy(d.id, "0012345678abcdef");
    std::strcpy(d.driverVersion, "TVX 4.2.1.1810");
    std::strcpy(d.friendlyNames[0], "Ombrel WDM");
    std::strcpy(d.instanceNames[0], "talvexsim#vid_1d19&pid_0034&mi_00#9#0012345678abcdef#{x}");
    return state;
}

}  // namespace

TEST(StateFile, OnlyASoundStateIsUsedAsItIs) {
    EXPECT_FALSE(layout::StateProblem(*SoundState()).has_value());

    // What a damaged or foreign file may hold, one fault at a time.
    using Damage = void (*)(layout::SharedState&);
    const struct {
        const char* what;
        Damage damage;
    } cases[] = {
        {"another layout", [](layout::SharedState& s) { s.layoutVersion = 2; }},
        {"another size", [](layout::SharedState& s) { s.size = 1; }},
        {"no magic", [](layout::SharedState& s) { s.magic = 0; }},
        {"flag 2", [](layout::SharedState& s) { s.devices[3].plugged = 2; }},
        {"used 7", [](layout::SharedState& s) { s.devices[3].used = 7; }},
        {"id without NUL", [](layout::SharedState& s) { std::memset(s.devices[3].id, 'a', sizeof s.devices[3].id); }},
        {"id not hex", [](layout::SharedState& s) { s.devices[3].id[4] = 'x'; }},
        {"no driver model", [](layout::SharedState& s) { s.devices[3].models = 0; }},
        {"subunit 10", [](layout::SharedState& s) { s.devices[3].subunit = 10; }},
        {"driver text without NUL", [](layout::SharedState& s) { std::memset(s.devices[3].driverVersion, 'v', 21); }},
        {"friendly name without NUL", [](layout::SharedState& s) { std::memset(s.devices[3].friendlyNames[2], 'f', 128); }},
        {"instance name without NUL", [](layout::SharedState& s) { std::memset(s.devices[3].instanceNames[1], 'i', 261); }},
        {"update phase 9", [](layout::SharedState& s) { s.devices[3].update.phase = static_cast<UpdatePhase>(9); }},
        {"script 7", [](layout::SharedState& s) { s.devices[3].script.action = static_cast<ScriptAction>(7); }},
        {"the same id twice", [](layout::SharedState& s) {
             s.devices[5] = s.devices[3];
             s.devices[5].id[15] = 'F';  // ids compare without letter case
         }},
    };
    for (const auto& c : cases) {
        auto state = SoundState();
        c.damage(*state);
        const auto problem = layout::StateProblem(*state);
        ASSERT_TRUE(problem.has_value()) << c.what;
        EXPECT_FALSE(problem->empty()) << c.what;
    }

    // Whatever a record not in use holds does not matter: plugging clears it first.
    auto state = SoundState();
    std::memset(&state->devices[7], 0xFF, sizeof state->devices[7]);
    state->devices[7].used = 0;
    EXPECT_FALSE(layout::StateProblem(*state).has_value());
}
