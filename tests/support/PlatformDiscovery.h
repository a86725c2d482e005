// Discovery of the driver's filters done straight on the platform, without the
// library: the control that tests compare the library with, and the floor against
// which the benchmarks measure it.
#pragma once

#include "PlatformIds.h"

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

namespace platform {

using Microsoft::WRL::ComPtr;

struct ListedFilter {
    std::wstring displayName;
    ComPtr<IMoniker> moniker;
};

// Every filter of the category, its friendly name read as any filter of ours needs.
std::vector<ListedFilter> ListCategory(ombrel::Category category);

ComPtr<IBaseFilter> BindListed(IMoniker* moniker);
// Through a moniker made from the display name by the device moniker class.
ComPtr<IBaseFilter> BindByDisplayName(const std::wstring& displayName);

// One firmware-version get on the filter's vendor property set; false when it fails.
bool GetFirmwareVersion(IBaseFilter* filter);

// The floor of a scan: each category listed once, every tuner and receiver filter
// bound once, one firmware-version get per tuner (whose display name then goes to
// `onTuner`, if given). Returns the number of tuners asked.
int DiscoveryFloor(const std::function<void(const std::wstring& displayName)>& onTuner = {});

}  // namespace platform
