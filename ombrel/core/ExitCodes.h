// The program's exit codes: one per kind of failure, so that a batch file can tell a
// missing tuner from a bad image or from each way a firmware update can end.
#pragma once

#include <span>
#include <string_view>

namespace ombrel_cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,         // the library or the system failed
    kExitUsage = 2,          // unknown verb or option, missing or extra argument
    kExitNoTuner = 3,        // no such tuner, an ambiguous GUID prefix, or the tuner went away
    kExitNoImage = 4,        // no firmware image carried for the tuner, or the images are missing
    kExitBadImageFile = 5,   // image file missing, unreadable or malformed
    kExitImageMismatch = 6,  // image file made for other hardware
    kExitNotConfirmed = 7,   // the update was not confirmed
    // Ends of an update run, with Romflux's texts.
    kExitUpdateRefused = 10,    // "Error calling Ombrel Firmware update"
    kExitUpdateDetached = 11,   // "... device detached?"
    kExitUpdateSections = 12,   // error code 2
    kExitUpdateCount = 13,      // error code 4
    kExitUpdateCrc = 14,        // error code 5
    kExitUpdateHardware = 15,   // error code 9
    kExitUpdateFailed = 16,     // any other error code
    kExitUpdateAbandoned = 17,  // Ctrl+C twice: the update goes on in the tuner
    // Ends of a tune, and refusals of the front end's requests.
    kExitNoLock = 20,           // the front end settled without finding the multiplex
    kExitLockTimeout = 21,      // still settling when --timeout ran out
    kExitTuneRefused = 22,      // the driver refused a tuning or status request
    kExitWrongFamily = 23,      // the tuner does not take that kind of tune
    kExitTuneInterrupted = 24,  // Ctrl+C while waiting for lock
    // Refusals of the remote control's reader.
    kExitRemoteInUse = 30,    // another process reads the tuner's keys
    kExitRemoteRefused = 31,  // the library did not start the reader (one runs in this process)
    // The Common Interface and the module's menus.
    kExitCiNoSlot = 40,         // the tuner has no Common Interface slot
    kExitCiNoModule = 41,       // no module in the slot, or it did not become ready in time
    kExitCiInUse = 42,          // another program has the tuner's session open
    kExitCiModuleGone = 43,     // the module left the slot during the command
    kExitCiAnswers = 44,        // --answers ran out, did not fit the menu shown, or were left over
    kExitCiInterrupted = 45,    // Ctrl+C; the menu and the session were closed
    // Channel scan; what was found is kept (--out) whenever it ends.
    kExitScanNothing = 50,      // no candidate locked: no multiplex found
    kExitScanStartFile = 51,    // the start file (--from) is missing, unreadable or does not parse
    kExitScanOutput = 52,       // the channel file (--out) could not be written
    kExitScanTunerGone = 53,    // the tuner went away during the scan
    kExitScanInterrupted = 54,  // Ctrl+C during the scan
    // Reading a multiplex's services and recording it.
    kExitNotReceiving = 55,     // the tuner is not locked on a multiplex
    kExitTablesIncomplete = 56, // the tables were not whole within --timeout, or Ctrl+C came first
    kExitNoService = 57,        // --service or --channel names nothing there, or the channel file is bad
    kExitOutputFailed = 58,     // the output file could not be made or written (a full disk)
    kExitNotClear = 59,         // --require-clear, and the recording would be scrambled
};

struct ExitCodeText {
    int code;
    const char* meaning;
};

// Every code with a line of explanation, in ascending order (for --help and the README).
std::span<const ExitCodeText> ExitCodeTable();

// What the user can do about a failure with this code, for the line after its message;
// empty when the message says it already.
std::string_view NextStep(int exitCode);

}  // namespace ombrel_cli
