#include "ControlScan.h"

#include <windows.h>
#include <ks.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace stress {
namespace {

// The WDM capture, BDA network-tuner and BDA receiver categories.
constexpr GUID kCategories[] = {
    {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}},
    {0x71985F48, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}},
    {0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}},
};
constexpr GUID kVendorSet = {0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}};
constexpr DWORD kFirmwareVersion = 11;

void ReadNames(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf())))) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        bag->Read(L"FriendlyName", &value, nullptr);
        VariantClear(&value);
    }
    ComPtr<IBindCtx> context;
    LPOLESTR name = nullptr;
    if (SUCCEEDED(CreateBindCtx(0, &context)) && SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, &name))) {
        CoTaskMemFree(name);
    }
}

bool AskFirmwareVersion(IMoniker* moniker) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf())))) {
        return false;
    }
    ComPtr<IKsPropertySet> properties;
    if (FAILED(filter.As(&properties))) return false;
    BYTE record[8] = {}, instance[8] = {};
    DWORD returned = 0;
    return properties->Get(kVendorSet, kFirmwareVersion, instance, sizeof instance, record, sizeof record, &returned) == S_OK;
}

}  // namespace

ScanCount ScanTunerCategories(Heartbeat& heart) {
    ScanCount count;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(devices.GetAddressOf())))) {
        return count;
    }
    for (const GUID& category : kCategories) {
        heart.Beat("enumerating a category");
        ComPtr<IEnumMoniker> monikers;
        if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK || !monikers) continue;
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            heart.Beat("binding a listed filter");
            ++count.listed;
            ReadNames(moniker.Get());
            count.answered += AskFirmwareVersion(moniker.Get());
        }
    }
    return count;
}

}  // namespace stress
