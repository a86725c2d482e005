#include "SimTestSupport.h"

#include <oleauto.h>
#include <uuids.h>

#include "ConsoleRun.h"

namespace simtest {

const GUID kWdmCategory = {
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const GUID kTunerCategory = {
    0x71985F48, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};
const GUID kReceiverCategory = {
    0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};

namespace {

std::string Narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

ComApartment::ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
ComApartment::~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
}

std::vector<Listed> Enumerate(const GUID& category) {
    std::vector<Listed> all;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum,
                                reinterpret_cast<void**>(devices.GetAddressOf()))))
        return all;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK || !monikers) return all;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        Listed entry;
        entry.moniker = moniker;
        ComPtr<IBindCtx> context;
        LPOLESTR name = nullptr;
        if (SUCCEEDED(CreateBindCtx(0, &context)) &&
            SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, &name)) && name) {
            entry.displayName = Narrow(name);
            CoTaskMemFree(name);
        }
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                             reinterpret_cast<void**>(bag.GetAddressOf())))) {
            VARIANT value;
            VariantInit(&value);
            value.vt = VT_BSTR;
            if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR)
                entry.friendlyName = Narrow(value.bstrVal);
            VariantClear(&value);
        }
        all.push_back(entry);
    }
    return all;
}

const Listed* FindListed(const std::vector<Listed>& all, const std::string& displayName) {
    for (const auto& entry : all) {
        if (entry.displayName == displayName) return &entry;
    }
    return nullptr;
}

ComPtr<IBaseFilter> BindFilter(const GUID& category, const std::string& displayName) {
    const auto all = Enumerate(category);
    const Listed* entry = FindListed(all, displayName);
    ComPtr<IBaseFilter> filter;
    if (entry) {
        entry->moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                     reinterpret_cast<void**>(filter.GetAddressOf()));
    }
    return filter;
}

ComPtr<IKsPropertySet> BindProperties(const GUID& category, const std::string& displayName) {
    ComPtr<IKsPropertySet> properties;
    if (auto filter = BindFilter(category, displayName)) filter.As(&properties);
    return properties;
}

GetResult GetProperty(IKsPropertySet* properties, DWORD id, DWORD length, uint8_t fill) {
    GetResult result;
    result.data.assign(length, fill);
    std::vector<uint8_t> instance(length, 0);
    result.hr = properties->Get(kVendorSet, id, length ? instance.data() : nullptr, length,
                                length ? result.data.data() : nullptr, length,
                                &result.returned);
    return result;
}

HRESULT SetProperty(IKsPropertySet* properties, DWORD id, const void* data, DWORD length) {
    std::vector<uint8_t> instance(length, 0);
    return properties->Set(kVendorSet, id, length ? instance.data() : nullptr, length,
                           const_cast<void*>(data), length);
}

std::string BinDir() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

ToolRun RunTool(const std::string& arguments, DWORD timeoutMs) {
    const consolerun::Run run =
        consolerun::RunProgram("\"" + BinDir() + "tunersim.exe\" " + arguments, timeoutMs);
    ToolRun tool{run.exitCode, run.output};
    if (run.timedOut) tool.output += "\n[timed out]";
    return tool;
}

}  // namespace simtest
