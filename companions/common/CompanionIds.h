// Control identifiers of the companions' main window, for anything that drives or
// inspects it from outside (tests, screenshots).
#pragma once

namespace companion {

inline constexpr int kTunerListId = 100;  // list box, one row per attached tuner
inline constexpr int kStatusId = 101;     // status line below it

inline constexpr wchar_t kRemoteClassName[] = L"Talvex Remote Control";
inline constexpr wchar_t kCiClassName[] = L"Talvex Common Interface";

}  // namespace companion
