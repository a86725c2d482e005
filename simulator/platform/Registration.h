// Registry side of a simulated box: the instance keys in the enumerator's categories
// that make its filters appear, and the COM class of the filter DLL.
#pragma once

#include <string>

#include "SharedLayout.h"

namespace tunersim {

// Writes the instance keys of every role the box presents. On failure removes what it
// wrote and throws tunersim::Error.
void RegisterDeviceKeys(const layout::DeviceRecord& device);

// Deletes the instance keys of the box (missing keys are not an error).
void RemoveDeviceKeys(const layout::DeviceRecord& device);

// Deletes every instance key of the filter class in the enumerator's categories, whoever
// wrote it (left by a state file that was deleted or a process that died half-way).
void RemoveStrayFilterKeys();

// Deletes the categories' keys and their "Instance" keys where they are left empty (the
// first plug may have created them); keys that hold anything stay.
void RemoveEmptyCategoryKeys();

// The roles (WDM, BDA tuner, BDA receiver) a record presents.
bool PresentsRole(const layout::DeviceRecord& device, layout::Role role);

// Registers the filter class with the given DLL path (ThreadingModel "Both").
void RegisterFilterClass(const std::wstring& dllPath);
// Removes the class registration; throws Error when it stays (none to remove is fine).
void UnregisterFilterClass();

// WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to every top-level window, bounded in time.
void BroadcastDevNodesChanged();

}  // namespace tunersim
