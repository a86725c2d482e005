#include "ExitCodes.h"

#include <array>

namespace ombrel_cli {

std::span<const ExitCodeText> ExitCodeTable() {
    static constexpr std::array<ExitCodeText, 39> kTable{{
        {kExitOk, "success"},
        {kExitFailed, "the library or the system failed"},
        {kExitUsage, "unknown verb or option, missing or extra argument"},
        {kExitNoTuner, "no such tuner, ambiguous GUID prefix, or the tuner went away"},
        {kExitNoImage, "no firmware image carried for the tuner, or Romflux.exe not found"},
        {kExitBadImageFile, "image file missing, unreadable or malformed"},
        {kExitImageMismatch, "image file made for other hardware than the tuner"},
        {kExitNotConfirmed, "update not confirmed"},
        {kExitUpdateRefused, "update refused: Error calling Ombrel Firmware update"},
        {kExitUpdateDetached, "update ended: device detached"},
        {kExitUpdateSections, "update failed: Invalid max number of sections"},
        {kExitUpdateCount, "update failed: Invalid count value"},
        {kExitUpdateCrc, "update failed: Invalid crc value"},
        {kExitUpdateHardware, "update failed: Invalid hardware version"},
        {kExitUpdateFailed, "update failed without a further reason"},
        {kExitUpdateAbandoned, "stopped waiting (Ctrl+C twice); the update goes on in the tuner"},
        {kExitNoLock, "no lock: the front end found no multiplex there"},
        {kExitLockTimeout, "no lock within the time allowed (--timeout)"},
        {kExitTuneRefused, "the driver refused a tuning or status request"},
        {kExitWrongFamily, "the tuner does not take that kind of tune (satellite, terrestrial)"},
        {kExitTuneInterrupted, "stopped waiting for lock (Ctrl+C); the tuner keeps the tune"},
        {kExitRemoteInUse, "another program reads the tuner's remote control"},
        {kExitRemoteRefused, "the library did not start the remote-control reader"},
        {kExitCiNoSlot, "the tuner has no Common Interface slot"},
        {kExitCiNoModule, "no module in the Common Interface slot, or not ready in time (--timeout)"},
        {kExitCiInUse, "another program has the tuner's Common Interface session open"},
        {kExitCiModuleGone, "the module left the slot during the command"},
        {kExitCiAnswers, "--answers ran out, was no choice of the menu shown, or was left over"},
        {kExitCiInterrupted, "stopped (Ctrl+C); the module's menu and the session were closed"},
        // Channel scan.
        {kExitScanNothing, "scan: no multiplex found (nothing locked)"},
        {kExitScanStartFile, "scan: the start file (--from) is missing, unreadable or does not parse"},
        {kExitScanOutput, "scan: the channel file (--out) could not be written"},
        {kExitScanTunerGone, "scan: the tuner went away; what was found is kept"},
        {kExitScanInterrupted, "scan: stopped (Ctrl+C); what was found is kept"},
        // Services and recording.
        {kExitNotReceiving, "services, record: the tuner is not locked on a multiplex: tune it first"},
        {kExitTablesIncomplete, "services, record: the multiplex's tables were not whole within the time allowed (--timeout), or Ctrl+C"},
        {kExitNoService, "record: --service or --channel names nothing there, or the channel file does not parse"},
        {kExitOutputFailed, "record: the output file could not be made or written (a full disk); what was written is kept"},
        {kExitNotClear, "record: --require-clear, and the service cannot be descrambled (no module, slot or session)"},
    }};
    return kTable;
}

std::string_view NextStep(int exitCode) {
    switch (exitCode) {
    case kExitBadImageFile:
        return "Check the file's path and that it is the Intel-HEX image made for this tuner, or leave --image out to "
               "send the image Romflux carries for it.";
    case kExitCiNoSlot:
        return "'ombrel info <tuner>' shows which tuners have one (Common Interface: yes); 'ombrel list' lists them.";
    case kExitCiNoModule:
        return "Insert a module, or give it longer to start (--timeout); 'ombrel ci <tuner> status' shows the slot.";
    case kExitNotReceiving:
        return "'ombrel tune <tuner> <frequency> ...' tunes it; 'ombrel status <tuner>' shows its front end.";
    default: return {};
    }
}

}  // namespace ombrel_cli
