// Finding the driver's filters through the system device enumerator and binding
// them by display name. Callers must have initialised COM on their thread;
// without it nothing is found.
#pragma once

#include "FriendlyNames.h"
#include "PlatformIds.h"

#include <windows.h>
#include <objidl.h>
#include <strmif.h>
#include <wrl/client.h>

#include <string>
#include <string_view>
#include <vector>

namespace ombrel {

using Microsoft::WRL::ComPtr;

// Wide text in the system code page, or nothing when it would not fit the
// library's 512-byte buffers (511 characters and the NUL).
bool ToAnsi(const wchar_t* text, std::string& out);

// One filter of a category whose friendly name is in the category's table.
struct FoundFilter {
    std::string displayName;
    std::string friendlyName;
    ComPtr<IMoniker> moniker;  // to bind it without enumerating the category again
};

// Every accepted filter of the category, in enumeration order. Filters whose
// display name does not fit the library's buffers are left out.
std::vector<FoundFilter> EnumerateCategory(Category category);

ComPtr<IBaseFilter> BindMoniker(IMoniker* moniker);

// The first filter of the category whose display name equals the given one byte
// for byte; null if none.
ComPtr<IBaseFilter> BindFilter(std::string_view displayName, Category category);

}  // namespace ombrel
