// Finding the driver's filters through the system device enumerator and binding
// them again by display name. Callers must have initialised COM on their thread;
// without it nothing is found.
#pragma once

#include "FriendlyNames.h"
#include "PlatformIds.h"

#include <windows.h>
#include <objidl.h>
#include <strmif.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace ombrel {

using Microsoft::WRL::ComPtr;

// Wide text in the system code page, or nothing when it would not fit the
// library's 512-byte buffers (511 characters and the NUL).
bool ToAnsi(const wchar_t* text, std::string& out);

// One filter of a category whose friendly name is in the category's table.
struct FoundFilter {
    std::string displayName;   // converted: the device's identity
    std::wstring monikerName;  // as the enumerator spelled it: binds the filter again
    std::string friendlyName;
    ComPtr<IMoniker> moniker;  // to bind it while the scan that found it runs
};

// Every accepted filter of the category, in enumeration order. Filters whose
// display name does not fit the library's buffers are left out.
std::vector<FoundFilter> EnumerateCategory(Category category);

ComPtr<IBaseFilter> BindMoniker(IMoniker* moniker);

// Binds filters by the display names of their monikers, each made from the name
// itself: no category is listed, so the cost does not grow with the number of
// filters (and nothing of the enumerator's per-moniker cost is paid). One binder
// serves the binds of one open, on the thread that made it.
class DisplayNameBinder {
public:
    DisplayNameBinder();

    // The filter whose moniker has this display name; null when nothing by that
    // name can be bound (a filter that has gone, among others).
    ComPtr<IBaseFilter> Bind(const std::wstring& monikerName);

private:
    ComPtr<IParseDisplayName> parser_;
};

}  // namespace ombrel
