#include "UpdatePoll.h"

namespace romflux {

const char* UpdateErrorText(uint8_t errorCode) {
    switch (errorCode) {
    case 2: return "An error occured while updating the firmware: Invalid max number of sections";
    case 4: return "An error occured while updating the firmware: Invalid count value";
    case 5: return "An error occured while updating the firmware: Invalid crc value";
    case 9: return "An error occured while updating the firmware: Invalid hardware version";
    default: return kUpdateFailedText;
    }
}

bool IsFailureState(uint8_t state) { return state == 8 || state == 10; }

PollDecision DecidePoll(bool statusCallSucceeded, const UpdateStatus& status) {
    PollDecision decision;
    if (!statusCallSucceeded) {
        decision.outcome = PollOutcome::Detached;
        decision.barPosition = 0;
        decision.stopTimer = true;
        decision.message = kUpdateDetachedText;
        return decision;
    }
    decision.barPosition = status.progress;
    if (IsFailureState(status.state)) {
        decision.outcome = PollOutcome::Failed;
        decision.stopTimer = true;
        decision.restartBeforeMessage = true;
        decision.message = UpdateErrorText(status.errorCode);
    } else if (status.progress == 100) {
        decision.outcome = PollOutcome::Succeeded;
        decision.stopTimer = true;
        decision.restartAfterMessage = true;
        decision.resetBarAfterMessage = true;
        decision.message = kUpdateSucceededText;
    }
    return decision;
}

}  // namespace romflux
