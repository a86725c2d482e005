// The keys of the Talvex remote control and the key codes the tuner box reports for them.
//
// For every key press the box hands the driver two bytes: byte 0 is the remote's address,
// byte 1 the key's command. The library passes them on without reading them, as the number
// byte 0 * 256 + byte 1; this table gives that number a name. Codes of other remotes (other
// addresses) are passed on just the same and have no name here.
//
//   key          name    code      key          name    code
//   digits 0..9  0..9    0x2000..  OK           ok      0x2015
//                        0x2009    menu         menu    0x200E
//   power        power   0x200C    volume up    vol+    0x2016
//   up           up      0x2011    volume down  vol-    0x2017
//   down         down    0x2012    channel up   ch+     0x2018
//   left         left    0x2013    channel down ch-     0x2019
//   right        right   0x2014
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace keymap {

inline constexpr std::uint8_t kTalvexAddress = 0x20;

struct Key {
    std::string_view name;   // short name, as typed: "ok", "vol+", "5"
    std::string_view label;  // as shown to a person: "OK", "Volume +", "5"
    std::uint16_t code;      // address * 256 + command
};

// Every key of the remote: the digits, then power, the arrows, OK, menu, volume and channel.
std::span<const Key> Keys();

// The key with this code; null for a code that is no key of the Talvex remote.
const Key* FindByCode(std::uint16_t code);

// The key with this name, compared without regard to case; null if there is none.
const Key* FindByName(std::string_view name);

}  // namespace keymap
