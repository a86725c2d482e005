// The two companion programs (CI menu and remote control): ended before a firmware
// update by sending WM_DESTROY to their windows, started again afterwards if they
// were running.
#pragma once

#include <windows.h>

#include <string>

namespace romflux {

inline constexpr const char* kRemoteControlClass = "Talvex Remote Control";
inline constexpr const char* kCommonInterfaceClass = "Talvex Common Interface";
inline constexpr const char* kRemoteControlFile = "TalvexRemote.exe";
inline constexpr const char* kCommonInterfaceFile = "TalvexCI.exe";
inline constexpr const char* kToolsFolder = "Tools\\";

class CompanionTools {
public:
    // How long Close waits for one window to handle WM_DESTROY before going on.
    static constexpr UINT kDefaultCloseTimeoutMs = 3000;

    // Base prefix: the running program's directory with a trailing backslash, so the
    // tools are found whatever the current directory is.
    CompanionTools();
    explicit CompanionTools(std::string basePrefix);

    // Finds every top-level window whose class is exactly one of the companions',
    // tells it to end and records which companions were found (both flags are
    // cleared first). Waits at most the close timeout per window, so a hung
    // companion can't block the caller.
    void Close();

    // Starts, hidden, each companion that the last Close found: remote control first.
    // Returns how many starts the shell accepted.
    int Restart(HWND owner);

    bool RemoteControlFound() const { return m_remoteControlFound; }
    bool CommonInterfaceFound() const { return m_commonInterfaceFound; }

    const std::string& BasePrefix() const { return m_basePrefix; }
    void SetBasePrefix(std::string basePrefix) { m_basePrefix = std::move(basePrefix); }
    void SetCloseTimeout(UINT milliseconds) { m_closeTimeoutMs = milliseconds; }

    // base prefix + "Tools\" and base prefix + "Tools\" + file.
    std::string ToolsDirectory() const;
    std::string ToolPath(const char* fileName) const;

    // Directory of the running program with a trailing backslash; empty on failure.
    static std::string ProgramDirectory();

private:
    static BOOL CALLBACK EnumProc(HWND window, LPARAM context);
    void Examine(HWND window);
    bool Start(HWND owner, const char* fileName) const;

    bool m_remoteControlFound = false;
    bool m_commonInterfaceFound = false;
    std::string m_basePrefix;
    UINT m_closeTimeoutMs = kDefaultCloseTimeoutMs;
};

}  // namespace romflux
