#include "SwitchMemory.h"

#include "TunerSelector.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace ombrel_cli {
namespace {

constexpr const char* kKey = "Software\\Talvex\\ombrel\\DiSEqC";

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
// An open registry key, closed when it goes; null when it could not be opened or made.
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

RegistryKey CreateKey() {
    HKEY key = nullptr;
    const LSTATUS status =
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    return RegistryKey(status == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

std::optional<std::uint8_t> RememberedSwitchInput(std::string_view guid) {
    DWORD input = 0;
    DWORD size = sizeof input;
    const std::string name = NormalizeGuid(guid);
    // Opens and closes the key itself, and accepts nothing but a DWORD.
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_REG_DWORD, nullptr, &input, &size) != ERROR_SUCCESS ||
        input > 3) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(input);
}

void RememberSwitchInput(std::string_view guid, std::uint8_t input) {
    const RegistryKey key = CreateKey();
    if (!key) return;
    const DWORD value = input;
    const std::string name = NormalizeGuid(guid);
    RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace ombrel_cli
