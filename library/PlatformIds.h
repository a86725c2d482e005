// Published identifiers of the platform's device enumeration: the system device
// enumerator, the device moniker class and the filter categories that the driver's
// filters are listed in. Header-only, so that benchmarks and tests that call the
// platform directly use the library's own values.
#pragma once

#include "FriendlyNames.h"

#include <guiddef.h>

namespace ombrel {

// {62BE5D10-60EB-11D0-BD3B-00A0C911CE86}
inline constexpr GUID kSystemDeviceEnum = {0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {4315D437-5B8C-11D0-BD3B-00A0C911CE86}: the class of the enumerator's monikers, which
// also turns their display names back into monikers.
inline constexpr GUID kDeviceMonikerClass = {0x4315D437, 0x5B8C, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {860BB310-5D01-11D0-BD3B-00A0C911CE86}
inline constexpr GUID kVideoCaptureCategory = {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {71985F48-1CA1-11D3-9CC8-00C04F7971E0}
inline constexpr GUID kBdaNetworkTunerCategory = {0x71985F48, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};
// {FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}
inline constexpr GUID kBdaReceiverCategory = {0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};

inline const GUID& CategoryGuid(Category category) {
    switch (category) {
    case Category::WdmCapture: return kVideoCaptureCategory;
    case Category::BdaTuner: return kBdaNetworkTunerCategory;
    case Category::BdaReceiver: return kBdaReceiverCategory;
    }
    return kVideoCaptureCategory;
}

inline constexpr Category kAllCategories[] = {Category::WdmCapture, Category::BdaTuner, Category::BdaReceiver};

}  // namespace ombrel
