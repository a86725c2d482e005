#include "CompanionTools.h"

#include <shellapi.h>

#include <cstring>
#include <utility>
#include <vector>

namespace romflux {

CompanionTools::CompanionTools() : m_basePrefix(ProgramDirectory()) {}

CompanionTools::CompanionTools(std::string basePrefix) : m_basePrefix(std::move(basePrefix)) {}

std::string CompanionTools::ProgramDirectory() {
    std::vector<char> name(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            std::string path(name.data(), length);
            size_t slash = path.find_last_of("\\/");
            if (slash == std::string::npos) return {};
            return path.substr(0, slash + 1);
        }
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
}

std::string CompanionTools::ToolsDirectory() const { return m_basePrefix + kToolsFolder; }

std::string CompanionTools::ToolPath(const char* fileName) const {
    return ToolsDirectory() + fileName;
}

void CompanionTools::Close() {
    m_remoteControlFound = false;
    m_commonInterfaceFound = false;
    EnumWindows(&CompanionTools::EnumProc, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK CompanionTools::EnumProc(HWND window, LPARAM context) {
    if (window == nullptr) return FALSE;
    reinterpret_cast<CompanionTools*>(context)->Examine(window);
    return TRUE;
}

void CompanionTools::Examine(HWND window) {
    char className[512];
    std::memset(className, 0, sizeof(className));
    if (GetClassNameA(window, className, sizeof(className)) == 0) return;

    auto tell = [this, window] {
        // A companion whose window thread does not answer must not hold the caller:
        // give up on it after the timeout and go on with the other windows.
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            m_closeTimeoutMs, &result);
    };
    if (std::strcmp(className, kRemoteControlClass) == 0) {
        tell();
        m_remoteControlFound = true;
    }
    if (std::strcmp(className, kCommonInterfaceClass) == 0) {
        tell();
        m_commonInterfaceFound = true;
    }
}

bool CompanionTools::Start(HWND owner, const char* fileName) const {
    std::string path = ToolPath(fileName);
    std::string directory = ToolsDirectory();
    // A cut path would start some other file; such a prefix can't name the tools.
    if (path.size() >= MAX_PATH) return false;
    HINSTANCE result =
        ShellExecuteA(owner, "open", path.c_str(), "", directory.c_str(), SW_HIDE);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

int CompanionTools::Restart(HWND owner) {
    int started = 0;
    if (m_remoteControlFound && Start(owner, kRemoteControlFile)) ++started;
    if (m_commonInterfaceFound && Start(owner, kCommonInterfaceFile)) ++started;
    return started;
}

}  // namespace romflux
