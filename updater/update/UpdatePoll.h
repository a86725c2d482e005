// What one poll of a running firmware update means for the dialog: the bar position,
// whether the run ends, which message it ends with and when the companion programs
// are started again. Plain C++; the dialog carries out the decision.
#pragma once

#include <cstdint>
#include <string>

namespace romflux {

inline constexpr const char* kUpdateStartFailedText = "Error calling Ombrel Firmware update";
inline constexpr const char* kUpdateSucceededText = "Firmware update succeeded!";
inline constexpr const char* kUpdateDetachedText =
    "An error occured while updating the firmware, device detached?";
inline constexpr const char* kUpdateFailedText = "An error occured while updating the firmware";

// The tuner's three status bytes, as the library's status record holds them.
struct UpdateStatus {
    uint8_t progress = 0;   // percent
    uint8_t state = 0;      // 8 or 10: the update failed
    uint8_t errorCode = 0;  // why it failed
};

enum class PollOutcome {
    Running,    // keep the timer, poll again
    Succeeded,  // progress reached 100
    Failed,     // the tuner reported a failure
    Detached,   // the status could not be read
};

struct PollDecision {
    PollOutcome outcome = PollOutcome::Running;
    int barPosition = 0;           // set the bar to this before anything else
    bool stopTimer = false;        // kill the poll timer before the message box opens
    std::string message;           // the message box text; empty while running
    bool restartBeforeMessage = false;  // failure: companions come back before the box
    bool restartAfterMessage = false;   // success: companions come back after the box
    bool resetBarAfterMessage = false;  // success: the bar returns to 0 once acknowledged
};

// The message for a failure reported with this error code.
const char* UpdateErrorText(uint8_t errorCode);

bool IsFailureState(uint8_t state);

// Decision for one poll. A failed status call ends the run as detached whatever the
// record holds (a partly written record must not add a second message or a restart).
// A failure state wins over a progress of 100.
PollDecision DecidePoll(bool statusCallSucceeded, const UpdateStatus& status);

}  // namespace romflux
