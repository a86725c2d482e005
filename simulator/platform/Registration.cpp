#include "Registration.h"

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <vector>

#include "DeviceNames.h"
#include "FilterClass.h"
#include "Text.h"
#include "TunerSimControl.h"

namespace tunersim {

namespace {

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The category's folder of filter instances, "CLSID\{category}\Instance".
std::wstring InstanceFolderPath(layout::Role role) {
    return L"CLSID\\" + Widen(names::CategoryText(role)) + L"\\Instance";
}

std::wstring InstanceKeyPath(layout::Role role, const layout::DeviceRecord& device) {
    return InstanceFolderPath(role) + L"\\" + Widen(device.instanceNames[role]);
}

LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

[[noreturn]] void Fail(const std::string& what, LSTATUS status) {
    throw Error(what + " (registry error " + std::to_string(status) + ")");
}

void WriteInstanceKey(layout::Role role, const layout::DeviceRecord& device) {
    Key key;
    LSTATUS s = RegCreateKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(role, device).c_str(), 0,
                                nullptr, 0, KEY_WRITE, nullptr, key.Out(), nullptr);
    if (s != ERROR_SUCCESS) Fail("cannot create the filter's registry key", s);
    const DWORD roleValue = role;
    if ((s = SetString(key.Get(), L"FriendlyName", Widen(device.friendlyNames[role]))) ||
        (s = SetString(key.Get(), L"CLSID", kFilterClsidText)) ||
        (s = SetString(key.Get(), kDeviceValue, Widen(device.id))) ||
        (s = RegSetValueExW(key.Get(), kRoleValue, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&roleValue), sizeof roleValue))) {
        Fail("cannot write the filter's registry values", s);
    }
}

// Deletes the key if it holds neither subkeys nor values.
void DeleteIfEmpty(const std::wstring& path) {
    DWORD subkeys = 0, values = 0;
    {
        Key key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS ||
            RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
    }
    if (subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
}

}  // namespace

bool PresentsRole(const layout::DeviceRecord& device, layout::Role role) {
    switch (role) {
    case layout::kRoleWdm: return (device.models & kWdm) != 0;
    case layout::kRoleTuner: return (device.models & kBda) != 0;
    case layout::kRoleReceiver: return (device.models & kBda) != 0 && device.withReceiver;
    default: return false;
    }
}

void RegisterDeviceKeys(const layout::DeviceRecord& device) {
    try {
        for (int r = 0; r < layout::kRoleCount; ++r) {
            const auto role = static_cast<layout::Role>(r);
            if (PresentsRole(device, role)) WriteInstanceKey(role, device);
        }
    } catch (...) {
        RemoveDeviceKeys(device);
        throw;
    }
}

void RemoveDeviceKeys(const layout::DeviceRecord& device) {
    for (int r = 0; r < layout::kRoleCount; ++r) {
        const auto role = static_cast<layout::Role>(r);
        if (device.instanceNames[role][0] == '\0') continue;
        RegDeleteKeyW(HKEY_CLASSES_ROOT, InstanceKeyPath(role, device).c_str());
    }
}

void RemoveStrayFilterKeys() {
    for (int r = 0; r < layout::kRoleCount; ++r) {
        const std::wstring path = InstanceFolderPath(static_cast<layout::Role>(r));
        Key instances;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | KEY_WRITE,
                          instances.Out()) != ERROR_SUCCESS)
            continue;
        std::vector<std::wstring> ours;
        wchar_t name[300];
        for (DWORD i = 0;; ++i) {
            DWORD length = 300;
            if (RegEnumKeyExW(instances.Get(), i, name, &length, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            wchar_t clsid[64] = {};
            DWORD size = sizeof clsid - sizeof(wchar_t);
            if (RegGetValueW(instances.Get(), name, L"CLSID", RRF_RT_REG_SZ, nullptr, clsid,
                             &size) == ERROR_SUCCESS &&
                lstrcmpiW(clsid, kFilterClsidText) == 0) {
                ours.emplace_back(name);
            }
        }
        for (const auto& key : ours) RegDeleteKeyW(instances.Get(), key.c_str());
    }
}

void RemoveEmptyCategoryKeys() {
    for (int r = 0; r < layout::kRoleCount; ++r) {
        const auto role = static_cast<layout::Role>(r);
        DeleteIfEmpty(InstanceFolderPath(role));
        DeleteIfEmpty(L"CLSID\\" + Widen(names::CategoryText(role)));
    }
}

void RegisterFilterClass(const std::wstring& dllPath) {
    const std::wstring base = std::wstring(L"CLSID\\") + kFilterClsidText;
    Key cls;
    LSTATUS s = RegCreateKeyExW(HKEY_CLASSES_ROOT, base.c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, cls.Out(), nullptr);
    if (s != ERROR_SUCCESS) Fail("cannot register the simulator's filter class", s);
    SetString(cls.Get(), nullptr, L"Talvex tuner simulator filter");
    Key server;
    s = RegCreateKeyExW(cls.Get(), L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                        server.Out(), nullptr);
    if (s != ERROR_SUCCESS) Fail("cannot register the simulator's filter class", s);
    if ((s = SetString(server.Get(), nullptr, dllPath)) ||
        (s = SetString(server.Get(), L"ThreadingModel", L"Both"))) {
        Fail("cannot register the simulator's filter class", s);
    }
}

void UnregisterFilterClass() {
    const std::wstring base = std::wstring(L"CLSID\\") + kFilterClsidText;
    // A class that is not registered is no failure; one that stays (a key that cannot be
    // deleted, or that holds keys of others) is.
    for (const std::wstring& path : {base + L"\\InprocServer32", base}) {
        const LSTATUS s = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
        if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND)
            Fail("cannot remove the simulator's filter class", s);
    }
}

// Sent window by window (the set HWND_BROADCAST reaches) so that the whole broadcast is
// bounded: a slow window costs at most kPerWindowMs, and once kTotalMs have passed the
// remaining windows get the message posted instead of sent.
void BroadcastDevNodesChanged() {
    constexpr ULONGLONG kPerWindowMs = 1000;
    constexpr ULONGLONG kTotalMs = 5000;
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    const ULONGLONG deadline = GetTickCount64() + kTotalMs;
    for (HWND window : windows) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            continue;
        }
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG,
                            static_cast<UINT>(std::min(kPerWindowMs, deadline - now)), &result);
    }
}

}  // namespace tunersim
