// Control identifiers of the remote-control companion's own controls, below the tuner
// list, for anything that drives or inspects the window from outside (tests, screenshots).
#pragma once

namespace companion {

inline constexpr int kReaderLineId = 200;  // what the chosen tuner's reader does
inline constexpr int kKeyListId = 201;     // one row per key received, the newest last

}  // namespace companion
