// Decisions of one poll of a running update.
#include <gtest/gtest.h>

#include "UpdatePoll.h"

using namespace romflux;

namespace {

PollDecision Poll(uint8_t progress, uint8_t state, uint8_t errorCode) {
    return DecidePoll(true, UpdateStatus{progress, state, errorCode});
}

}  // namespace

TEST(UpdatePollTexts, EachErrorCodeHasItsText) {
    const std::string plain = "An error occured while updating the firmware";
    EXPECT_EQ(std::string(UpdateErrorText(2)), plain + ": Invalid max number of sections");
    EXPECT_EQ(std::string(UpdateErrorText(4)), plain + ": Invalid count value");
    EXPECT_EQ(std::string(UpdateErrorText(5)), plain + ": Invalid crc value");
    EXPECT_EQ(std::string(UpdateErrorText(9)), plain + ": Invalid hardware version");
    for (int code : {0, 1, 3, 6, 7, 8, 10, 11, 200, 255}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(std::string(UpdateErrorText(static_cast<uint8_t>(code))), plain);
    }
    EXPECT_STREQ(kUpdateStartFailedText, "Error calling Ombrel Firmware update");
    EXPECT_STREQ(kUpdateSucceededText, "Firmware update succeeded!");
    EXPECT_STREQ(kUpdateDetachedText,
                 "An error occured while updating the firmware, device detached?");
}

TEST(UpdatePollDecisions, RunningMovesTheBarOnly) {
    for (int progress : {0, 1, 37, 99}) {
        SCOPED_TRACE(progress);
        for (int state : {0, 1, 7, 9, 11, 255}) {
            PollDecision d = Poll(static_cast<uint8_t>(progress), static_cast<uint8_t>(state), 5);
            EXPECT_EQ(d.outcome, PollOutcome::Running);
            EXPECT_EQ(d.barPosition, progress);
            EXPECT_FALSE(d.stopTimer);
            EXPECT_TRUE(d.message.empty());
            EXPECT_FALSE(d.restartBeforeMessage);
            EXPECT_FALSE(d.restartAfterMessage);
            EXPECT_FALSE(d.resetBarAfterMessage);
        }
    }
}

TEST(UpdatePollDecisions, HundredPercentSucceedsAndRestartsAfterTheBox) {
    PollDecision d = Poll(100, 0, 0);
    EXPECT_EQ(d.outcome, PollOutcome::Succeeded);
    EXPECT_EQ(d.barPosition, 100);
    EXPECT_TRUE(d.stopTimer);
    EXPECT_EQ(d.message, "Firmware update succeeded!");
    EXPECT_FALSE(d.restartBeforeMessage);
    EXPECT_TRUE(d.restartAfterMessage);
    EXPECT_TRUE(d.resetBarAfterMessage);
    // A leftover error code without a failure state does not matter.
    EXPECT_EQ(Poll(100, 3, 9).outcome, PollOutcome::Succeeded);
}

TEST(UpdatePollDecisions, FailureStatesEndTheRunWithTheCodesTextAndRestartFirst) {
    for (int state : {8, 10}) {
        SCOPED_TRACE(state);
        PollDecision d = Poll(60, static_cast<uint8_t>(state), 9);
        EXPECT_EQ(d.outcome, PollOutcome::Failed);
        EXPECT_EQ(d.barPosition, 60);  // the bar keeps the last position
        EXPECT_TRUE(d.stopTimer);
        EXPECT_EQ(d.message, "An error occured while updating the firmware: Invalid hardware version");
        EXPECT_TRUE(d.restartBeforeMessage);
        EXPECT_FALSE(d.restartAfterMessage);
        EXPECT_FALSE(d.resetBarAfterMessage);
    }
    EXPECT_EQ(Poll(10, 8, 3).message, "An error occured while updating the firmware");
    EXPECT_EQ(Poll(10, 10, 2).message, std::string(UpdateErrorText(2)));
}

TEST(UpdatePollDecisions, FailureTakesPrecedenceOverCompletion) {
    PollDecision d = Poll(100, 8, 5);
    EXPECT_EQ(d.outcome, PollOutcome::Failed);
    EXPECT_EQ(d.message, "An error occured while updating the firmware: Invalid crc value");
    EXPECT_FALSE(d.resetBarAfterMessage);
    EXPECT_EQ(Poll(100, 10, 0).outcome, PollOutcome::Failed);
}

TEST(UpdatePollDecisions, FailedStatusCallIsDetachedWhateverTheRecordHolds) {
    for (UpdateStatus status : {UpdateStatus{0, 0, 0}, UpdateStatus{100, 0, 0},
                                UpdateStatus{50, 8, 9}, UpdateStatus{100, 10, 2}}) {
        PollDecision d = DecidePoll(false, status);
        EXPECT_EQ(d.outcome, PollOutcome::Detached);
        EXPECT_TRUE(d.stopTimer);
        EXPECT_EQ(d.message, "An error occured while updating the firmware, device detached?");
        EXPECT_EQ(d.barPosition, 0);
        // No restart of the companions and no second message.
        EXPECT_FALSE(d.restartBeforeMessage);
        EXPECT_FALSE(d.restartAfterMessage);
        EXPECT_FALSE(d.resetBarAfterMessage);
    }
}

TEST(UpdatePollDecisions, OnlyEightAndTenAreFailureStates) {
    for (int state = 0; state < 256; ++state) {
        EXPECT_EQ(IsFailureState(static_cast<uint8_t>(state)), state == 8 || state == 10) << state;
    }
}
