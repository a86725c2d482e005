#include "PlatformDiscovery.h"

#include <OmbrelApi.h>

#include <objbase.h>
#include <oleauto.h>

namespace platform {

std::vector<ListedFilter> ListCategory(ombrel::Category category) {
    std::vector<ListedFilter> listed;
    ComPtr<ICreateDevEnum> devEnum;
    if (FAILED(CoCreateInstance(ombrel::kSystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devEnum))))
        return listed;
    ComPtr<IEnumMoniker> monikers;
    if (devEnum->CreateClassEnumerator(ombrel::CategoryGuid(category), &monikers, 0) != S_OK) return listed;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) break;
        VARIANT name;
        VariantInit(&name);
        name.vt = VT_BSTR;
        bag->Read(L"FriendlyName", &name, nullptr);
        VariantClear(&name);
        ComPtr<IBindCtx> context;
        LPOLESTR display = nullptr;
        if (SUCCEEDED(CreateBindCtx(0, &context)) &&
            SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, &display)) && display) {
            listed.push_back({display, moniker});
        }
        CoTaskMemFree(display);
    }
    return listed;
}

ComPtr<IBaseFilter> BindListed(IMoniker* moniker) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)))) return nullptr;
    return filter;
}

ComPtr<IBaseFilter> BindByDisplayName(const std::wstring& displayName) {
    ComPtr<IParseDisplayName> parser;
    if (FAILED(CoCreateInstance(ombrel::kDeviceMonikerClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&parser))))
        return nullptr;
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, &context))) return nullptr;
    ULONG eaten = 0;
    ComPtr<IMoniker> moniker;
    if (FAILED(parser->ParseDisplayName(context.Get(), const_cast<LPOLESTR>(displayName.c_str()), &eaten, &moniker)) ||
        !moniker)
        return nullptr;
    return BindListed(moniker.Get());
}

bool GetFirmwareVersion(IBaseFilter* filter) {
    ComPtr<IKsPropertySet> properties;
    if (FAILED(filter->QueryInterface(IID_PPV_ARGS(&properties)))) return false;
    static const GUID set = OMBREL_PROPSETID_INIT;
    _OMBREL_FIRMWARE_VERSION version{};
    unsigned char instance[sizeof version] = {};
    DWORD returned = 0;
    return properties->Get(set, OMBREL_PROP_FIRMWARE_VERSION, instance, sizeof instance, &version, sizeof version,
                           &returned) == S_OK;
}

int DiscoveryFloor(const std::function<void(const std::wstring& displayName)>& onTuner) {
    int tuners = 0;
    for (ombrel::Category category : ombrel::kAllCategories) {
        for (const ListedFilter& listed : ListCategory(category)) {
            ComPtr<IBaseFilter> filter = BindListed(listed.moniker.Get());
            if (!filter || category == ombrel::Category::BdaReceiver) continue;  // bound, not asked
            GetFirmwareVersion(filter.Get());
            if (onTuner) onTuner(listed.displayName);
            ++tuners;
        }
    }
    return tuners;
}

}  // namespace platform
