#include "Enumerate.h"

#include <windows.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include "DeviceNames.h"
#include "Text.h"
#include "TunerSimControl.h"

using Microsoft::WRL::ComPtr;

namespace tunersim {

namespace {

GUID CategoryGuid(layout::Role role) {
    GUID guid{};
    CLSIDFromString(Widen(names::CategoryText(role)).c_str(), &guid);
    return guid;
}

std::string FriendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                      reinterpret_cast<void**>(bag.GetAddressOf()))))
        return {};
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    std::string name;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR &&
        value.bstrVal)
        name = Narrow(value.bstrVal);
    VariantClear(&value);
    return name;
}

std::string DisplayName(IMoniker* moniker) {
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, &context))) return {};
    LPOLESTR text = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &text)) || !text) return {};
    std::string name = Narrow(text);
    CoTaskMemFree(text);
    return name;
}

}  // namespace

std::vector<EnumeratedFilter> EnumerateTunerCategories() {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum,
                                reinterpret_cast<void**>(devices.GetAddressOf()))))
        throw Error("cannot create the system device enumerator");
    std::vector<EnumeratedFilter> found;
    for (int r = 0; r < layout::kRoleCount; ++r) {
        const auto role = static_cast<layout::Role>(r);
        ComPtr<IEnumMoniker> monikers;
        const GUID category = CategoryGuid(role);
        if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK || !monikers)
            continue;
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            found.push_back({std::string(names::CategoryText(role)),
                             FriendlyName(moniker.Get()), DisplayName(moniker.Get())});
        }
    }
    return found;
}

}  // namespace tunersim
