#include "Discovery.h"

#include "DisplayName.h"
#include "PlatformIds.h"

#include <oleauto.h>

namespace ombrel {
namespace {

class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }

private:
    VARIANT v_;
};

class CoTaskString {
public:
    CoTaskString() = default;
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    ~CoTaskString() { CoTaskMemFree(p_); }
    LPOLESTR* put() { return &p_; }
    const wchar_t* get() const { return p_; }

private:
    LPOLESTR p_ = nullptr;
};

ComPtr<IEnumMoniker> CreateClassEnumerator(Category category) {
    ComPtr<ICreateDevEnum> devEnum;
    if (FAILED(CoCreateInstance(kSystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devEnum))))
        return nullptr;
    ComPtr<IEnumMoniker> monikers;
    // S_FALSE: the category is empty or absent.
    if (devEnum->CreateClassEnumerator(CategoryGuid(category), &monikers, 0) != S_OK) return nullptr;
    return monikers;
}

bool DisplayNameOf(IMoniker* moniker, std::wstring& out) {
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, &context))) return false;
    CoTaskString name;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, name.put())) || !name.get()) return false;
    out = name.get();
    return true;
}

// The device moniker class turns a display name back into its moniker. Under Wine an
// instance of the class parses; the class object is what parses on Windows (and what
// MkParseDisplayName asks, at a far higher cost under Wine).
ComPtr<IParseDisplayName> DeviceMonikerParser() {
    ComPtr<IParseDisplayName> parser;
    if (SUCCEEDED(CoCreateInstance(kDeviceMonikerClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&parser))) &&
        parser)
        return parser;
    if (SUCCEEDED(CoGetClassObject(kDeviceMonikerClass, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&parser))) &&
        parser)
        return parser;
    return nullptr;
}

}  // namespace

bool ToAnsi(const wchar_t* text, std::string& out) {
    char buffer[kMaxDisplayName + 1];
    const int written = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    if (written <= 0) return false;  // includes ERROR_INSUFFICIENT_BUFFER: too long to keep
    out.assign(buffer, static_cast<std::size_t>(written - 1));
    return true;
}

std::vector<FoundFilter> EnumerateCategory(Category category) {
    std::vector<FoundFilter> found;
    ComPtr<IEnumMoniker> monikers = CreateClassEnumerator(category);
    if (!monikers) return found;

    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) || !bag) break;

        Variant friendly;
        friendly.get()->vt = VT_BSTR;
        if (FAILED(bag->Read(L"FriendlyName", friendly.get(), nullptr)) || friendly.get()->vt != VT_BSTR) {
            // A capture filter without a name is some other device; a BDA filter
            // without one means the category is not what it should be.
            if (category == Category::WdmCapture) continue;
            break;
        }
        const wchar_t* name = friendly.get()->bstrVal ? friendly.get()->bstrVal : L"";
        if (!IsAcceptedFriendlyName(category, name)) continue;

        FoundFilter filter;
        if (!DisplayNameOf(moniker.Get(), filter.monikerName)) continue;
        if (!ToAnsi(filter.monikerName.c_str(), filter.displayName)) continue;
        if (!IsAcceptableDisplayName(filter.displayName)) continue;
        if (!ToAnsi(name, filter.friendlyName)) continue;
        filter.moniker = moniker;
        found.push_back(std::move(filter));
    }
    return found;
}

ComPtr<IBaseFilter> BindMoniker(IMoniker* moniker) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)))) return nullptr;
    return filter;
}

DisplayNameBinder::DisplayNameBinder() : parser_(DeviceMonikerParser()) {}

ComPtr<IBaseFilter> DisplayNameBinder::Bind(const std::wstring& monikerName) {
    ComPtr<IBindCtx> context;
    if (!parser_ || FAILED(CreateBindCtx(0, &context))) return nullptr;
    ULONG eaten = 0;
    ComPtr<IMoniker> moniker;
    std::wstring name = monikerName;  // the parser takes a writable string
    if (FAILED(parser_->ParseDisplayName(context.Get(), name.data(), &eaten, &moniker)) || !moniker) return nullptr;
    // A name taken only in part would stand for some other object.
    if (eaten != monikerName.size()) return nullptr;
    return BindMoniker(moniker.Get());
}

}  // namespace ombrel
