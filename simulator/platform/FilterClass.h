// The COM class of the simulator's filter and the registry values through which a
// filter object learns which box and which role it stands for.
#pragma once

#include <windows.h>

namespace tunersim {

// {6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}
inline constexpr GUID kFilterClsid = {
    0x6C1F3A52, 0x8E47, 0x4B1D, {0x9A, 0x35, 0x2D, 0x7E, 0x0B, 0x94, 0xC6, 0x18}};
inline constexpr wchar_t kFilterClsidText[] = L"{6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}";
inline constexpr wchar_t kFilterDllName[] = L"TalvexSimFilter.dll";

// Custom values under each instance key.
inline constexpr wchar_t kDeviceValue[] = L"TunerSimDevice";  // REG_SZ, the device id
inline constexpr wchar_t kRoleValue[] = L"TunerSimRole";      // REG_DWORD, layout::Role

}  // namespace tunersim
