#include "Flash.h"

#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "Text.h"
#include "TunerSimControl.h"

using Microsoft::WRL::ComPtr;

namespace tunersim {

namespace {

constexpr GUID kVendorSet = {
    0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}};
constexpr DWORD kImageSize = 368754;

ComPtr<IKsPropertySet> BindTuner(const std::string& id) {
    const auto info = Find(id);
    if (!info) throw Error("unknown device " + id);
    if (!info->plugged) throw Error("device " + id + " is not plugged");
    const std::string& wanted = info->displayNames.front();  // WDM or BDA tuner
    const std::string category = wanted.substr(11, 38);       // after "@device:sw:"
    GUID categoryGuid{};
    if (FAILED(CLSIDFromString(Widen(category).c_str(), &categoryGuid)))
        throw Error("bad category in " + wanted);

    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum,
                                reinterpret_cast<void**>(devices.GetAddressOf()))))
        throw Error("cannot create the system device enumerator");
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(categoryGuid, &monikers, 0) == S_OK && monikers) {
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            ComPtr<IBindCtx> context;
            LPOLESTR name = nullptr;
            if (FAILED(CreateBindCtx(0, &context)) ||
                FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)) || !name)
                continue;
            const bool match = Narrow(name) == wanted;
            CoTaskMemFree(name);
            if (!match) continue;
            ComPtr<IKsPropertySet> properties;
            if (SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IKsPropertySet,
                                                reinterpret_cast<void**>(
                                                    properties.GetAddressOf()))))
                return properties;
        }
    }
    throw Error("the enumerator does not list " + wanted);
}

// The first kImageSize bytes of the file: no more is read, whatever its size.
std::vector<char> ReadImage(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Error("cannot read " + path);
    std::vector<char> image(kImageSize);
    file.read(image.data(), kImageSize);
    image.resize(static_cast<std::size_t>(file.gcount()));
    if (image.size() < kImageSize)
        throw Error(path + " holds " + std::to_string(image.size()) +
                    " bytes, fewer than an image's 368754");
    return image;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

const char* RefusalReason(uint8_t errorCode) {
    switch (errorCode) {
    case 2: return "not two sections";
    case 4: return "a section without its 4096 records";
    case 5: return "a record checksum or the integrity value is wrong";
    case 9: return "the image is for other hardware";
    default: return "unknown reason";
    }
}

}  // namespace

void FlashFile(const std::string& id, const std::string& path) {
    std::vector<char> image = ReadImage(path);
    auto properties = BindTuner(id);
    std::vector<char> instance(kImageSize, 0);
    const HRESULT hr = properties->Set(kVendorSet, 17, instance.data(), kImageSize,
                                       image.data(), kImageSize);
    if (hr != S_OK) throw Error("the box refused the image (HRESULT " + Hex(hr) + ")");
    // The box checks an image as it takes it; a refusal shows in its status at once.
    const auto status = ReadUpdateStatus(id);
    if (status && ((*status)[1] == 8 || (*status)[1] == 10))
        throw Error("the box refused the image with error " + std::to_string((*status)[2]) + ": " +
                    RefusalReason((*status)[2]));
}

std::optional<std::array<uint8_t, 3>> ReadUpdateStatus(const std::string& id) {
    auto properties = BindTuner(id);
    std::array<uint8_t, 3> status{};
    std::array<uint8_t, 3> instance{};
    DWORD returned = 0;
    if (properties->Get(kVendorSet, 18, instance.data(), 3, status.data(), 3, &returned) != S_OK)
        return std::nullopt;
    return status;
}

}  // namespace tunersim
