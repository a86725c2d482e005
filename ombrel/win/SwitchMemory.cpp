#include "SwitchMemory.h"

#include "TunerSelector.h"

#include <windows.h>

#include <string>

namespace ombrel_cli {
namespace {

constexpr const char* kKey = "Software\\Talvex\\ombrel\\DiSEqC";

// An open registry key, closed when it goes.
class RegistryKey {
public:
    explicit RegistryKey(bool create) {
        const LSTATUS status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                        &key_, nullptr)
                                      : RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key_);
        if (status != ERROR_SUCCESS) key_ = nullptr;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::uint8_t> RememberedSwitchInput(std::string_view guid) {
    const RegistryKey key(false);
    if (!key.get()) return std::nullopt;
    DWORD input = 0;
    DWORD size = sizeof input;
    DWORD type = 0;
    const std::string name = NormalizeGuid(guid);
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&input), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || input > 3) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(input);
}

void RememberSwitchInput(std::string_view guid, std::uint8_t input) {
    const RegistryKey key(true);
    if (!key.get()) return;
    const DWORD value = input;
    const std::string name = NormalizeGuid(guid);
    RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace ombrel_cli
