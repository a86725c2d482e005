#include "RemoteKeymap.h"

#include <algorithm>
#include <array>

namespace keymap {
namespace {

constexpr std::uint16_t Code(std::uint8_t command) {
    return static_cast<std::uint16_t>(kTalvexAddress << 8 | command);
}

constexpr std::array<Key, 21> kKeys{{
    {"0", "0", Code(0x00)},
    {"1", "1", Code(0x01)},
    {"2", "2", Code(0x02)},
    {"3", "3", Code(0x03)},
    {"4", "4", Code(0x04)},
    {"5", "5", Code(0x05)},
    {"6", "6", Code(0x06)},
    {"7", "7", Code(0x07)},
    {"8", "8", Code(0x08)},
    {"9", "9", Code(0x09)},
    {"power", "Power", Code(0x0C)},
    {"up", "Up", Code(0x11)},
    {"down", "Down", Code(0x12)},
    {"left", "Left", Code(0x13)},
    {"right", "Right", Code(0x14)},
    {"ok", "OK", Code(0x15)},
    {"menu", "Menu", Code(0x0E)},
    {"vol+", "Volume +", Code(0x16)},
    {"vol-", "Volume -", Code(0x17)},
    {"ch+", "Channel +", Code(0x18)},
    {"ch-", "Channel -", Code(0x19)},
}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

std::span<const Key> Keys() { return kKeys; }

const Key* FindByCode(std::uint16_t code) {
    const auto found = std::find_if(kKeys.begin(), kKeys.end(), [&](const Key& k) { return k.code == code; });
    return found == kKeys.end() ? nullptr : &*found;
}

const Key* FindByName(std::string_view name) {
    const auto found = std::find_if(kKeys.begin(), kKeys.end(), [&](const Key& k) { return SameName(k.name, name); });
    return found == kKeys.end() ? nullptr : &*found;
}

}  // namespace keymap
