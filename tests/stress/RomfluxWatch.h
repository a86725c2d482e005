// Romflux running beside a storm: started as a user starts it, watched from outside
// while it rebuilds its list on every device change, and closed as a user closes it.
#pragma once

#include <windows.h>

#include <UiDriver.h>

#include <optional>
#include <string>

namespace stress {

class RomfluxWatch {
public:
    // Starts bin/Romflux.exe and waits until its list shows `tuners` lines. Throws
    // std::runtime_error when it does not.
    RomfluxWatch(unsigned long tuners, DWORD timeoutMs);

    HANDLE Process() const { return app_.Handle(); }
    // A problem when Romflux does not answer, shows a message box (no update runs, so
    // it has nothing to report) or lists more lines than there are tuners.
    std::optional<std::string> Check() const;
    bool WaitForAllTuners(DWORD timeoutMs) const;
    // Closes the dialog; a problem when the program does not end with exit code 0.
    std::optional<std::string> Close(DWORD timeoutMs);

private:
    unsigned long tuners_;
    uidriver::Process app_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
};

}  // namespace stress
