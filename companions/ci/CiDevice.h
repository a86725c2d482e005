// The chosen tuner's Common Interface session: a library handle of its own on the
// device (the tuner list's handles are reopened at every change), with the window that
// hears the session's messages. Closes the session, then the handle, when it goes.
#pragma once

#include <windows.h>

#include <string>

namespace companion::ci {

class CiDevice {
public:
    CiDevice() = default;
    CiDevice(const CiDevice&) = delete;
    CiDevice& operator=(const CiDevice&) = delete;
    ~CiDevice() { Close(); }

    // Opens a handle on the attached device with this display name, registers `window`
    // on it and opens the session. OB_CI_Open's answer; kNoHandle when no handle could
    // be opened. Without a session the handle is closed again.
    unsigned long Open(const std::string& displayName, HWND window);
    static constexpr unsigned long kNoHandle = 0xFFFFFFFF;

    // Closes the session and the handle (nothing when none is open).
    void Close();

    unsigned long handle() const { return handle_; }
    bool open() const { return handle_ != 0; }

private:
    unsigned long handle_ = 0;
};

}  // namespace companion::ci
