#include "ContentFolder.h"

#include <windows.h>

#include "FilterClass.h"
#include "TunerSimControl.h"
#include "Text.h"

namespace tunersim {
namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ThisModulesFolder() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ThisModulesFolder), &module))
        return {};
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return FolderOf(std::wstring(path, n));
}

std::wstring RegisteredFilterFolder() {
    wchar_t registered[MAX_PATH] = {};
    DWORD size = sizeof registered - sizeof(wchar_t);
    const std::wstring key = std::wstring(L"CLSID\\") + kFilterClsidText + L"\\InprocServer32";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, registered, &size) !=
        ERROR_SUCCESS)
        return {};
    return FolderOf(registered);
}

}  // namespace

std::string ContentFolder() {
    for (const std::wstring& folder : {ThisModulesFolder(), RegisteredFilterFolder()}) {
        if (folder.empty()) continue;
        const std::wstring content = folder + L"\\content";
        if (IsFolder(content)) return Narrow(content);
    }
    throw Error("the simulator's stream content is missing: no folder \"content\" beside " +
                Narrow(ThisModulesFolder()) + " or the registered filter DLL");
}

}  // namespace tunersim
