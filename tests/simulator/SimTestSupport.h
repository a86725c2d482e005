// Helpers for the simulator tests: COM on the test thread, the system device
// enumerator, property requests on a bound filter, and running tunersim.exe.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Microsoft::WRL::ComPtr;

inline constexpr GUID kVendorSet = {
    0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}};

extern const GUID kWdmCategory;
extern const GUID kTunerCategory;
extern const GUID kReceiverCategory;

class ComApartment {
public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();

private:
    HRESULT hr_;
};

struct Listed {
    std::string displayName;
    std::string friendlyName;
    ComPtr<IMoniker> moniker;
};

// Every moniker of the category, as the system device enumerator lists them now.
std::vector<Listed> Enumerate(const GUID& category);

// The listed entry with that display name, or nullptr.
const Listed* FindListed(const std::vector<Listed>& all, const std::string& displayName);

// Binds the filter whose display name matches; null when it is not listed.
ComPtr<IBaseFilter> BindFilter(const GUID& category, const std::string& displayName);
ComPtr<IKsPropertySet> BindProperties(const GUID& category, const std::string& displayName);

// A get of the vendor set with an instance buffer of the same length.
struct GetResult {
    HRESULT hr = E_FAIL;
    DWORD returned = 0;
    std::vector<uint8_t> data;
};
GetResult GetProperty(IKsPropertySet* properties, DWORD id, DWORD length, uint8_t fill = 0xCC);
HRESULT SetProperty(IKsPropertySet* properties, DWORD id, const void* data, DWORD length);

// Runs bin/tunersim.exe (beside the test) with the arguments; bounded wait.
struct ToolRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // stdout and stderr
};
ToolRun RunTool(const std::string& arguments, DWORD timeoutMs = 30000);

// Folder of the running test program, with a trailing backslash.
std::string BinDir();

}  // namespace simtest
