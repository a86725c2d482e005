#include "SimFilter.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "ComEnumerators.h"
#include "DriverService.h"
#include "FilterClass.h"
#include "LinkPins.h"
#include "PropertyLogic.h"
#include "RemoteKeys.h"
#include "RemoteService.h"
#include "SharedLayout.h"
#include "StreamFormat.h"
#include "StreamOutputPin.h"
#include "Text.h"

namespace tunersim {

namespace {

// {AB132414-D060-11D0-8583-00C04FD9BAF3}
constexpr GUID kVendorPropertySet = {
    0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* operator&() { return &value_; }
    const VARIANT& Get() const { return value_; }

private:
    VARIANT value_;
};

}  // namespace

std::atomic<long>& LiveObjects() {
    static std::atomic<long> count{0};
    return count;
}

SimFilter::SimFilter() { ++LiveObjects(); }

SimFilter::~SimFilter() {
    // The pins' threads end before anything they use goes.
    Deactivate();
    pins_.clear();
    --LiveObjects();
}

STDMETHODIMP SimFilter::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter ||
        riid == IID_IBaseFilter) {
        *object = static_cast<IBaseFilter*>(this);
    } else if (riid == IID_IKsPropertySet) {
        *object = static_cast<IKsPropertySet*>(this);
    } else if (riid == IID_IPersistPropertyBag) {
        *object = static_cast<IPersistPropertyBag*>(this);
    } else if (riid == IID_IAMFilterMiscFlags) {
        *object = static_cast<IAMFilterMiscFlags*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SimFilter::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) SimFilter::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP SimFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kFilterClsid;
    return S_OK;
}

claim::Endpoint SimFilter::Box() const {
    claim::Endpoint e;
    e.id = deviceId_;  // fixed before the pins exist
    e.role = role_;
    return e;
}

HRESULT SimFilter::Activate() {
    if (!streamPin_ || !streamPin_->Connected()) return S_OK;
    if (linkInput_ && !linkInput_->Connected()) return kReceiverWithoutTuner;
    HRESULT hr = hold_.Take(deviceId_);
    if (FAILED(hr)) return hr;
    // The graph's event sink, not held: the graph stops its filters before it goes.
    Microsoft::WRL::ComPtr<IMediaEventSink> events;
    if (graph_) graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()));
    hr = streamPin_->Activate(clock_.Get(), events.Get());
    if (FAILED(hr)) hold_.Release();
    return hr;
}

// A graph manager may let one filter's failure pass when another filter's transition is
// still pending (Wine's returns the renderer's S_FALSE): the graph hears why as well.
HRESULT SimFilter::Refuse(HRESULT why) {
    Microsoft::WRL::ComPtr<IMediaEventSink> events;
    if (graph_ && SUCCEEDED(graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()))))
        events->Notify(EC_ERRORABORT, why, 0);
    return why;
}

void SimFilter::Deactivate() {
    if (streamPin_) streamPin_->Deactivate();
    hold_.Release();
}

STDMETHODIMP SimFilter::Stop() {
    std::lock_guard lock(mutex_);
    Deactivate();
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP SimFilter::Pause() {
    std::lock_guard lock(mutex_);
    if (state_ == State_Stopped) {
        const HRESULT hr = Activate();
        if (FAILED(hr)) return Refuse(hr);
    } else if (state_ == State_Running && streamPin_) {
        streamPin_->Pause();
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP SimFilter::Run(REFERENCE_TIME start) {
    std::lock_guard lock(mutex_);
    if (state_ == State_Stopped) {
        const HRESULT hr = Activate();
        if (FAILED(hr)) return Refuse(hr);
        state_ = State_Paused;
    }
    if (streamPin_) streamPin_->Run(start);
    state_ = State_Running;
    return S_OK;
}

// A live source cannot cue: paused, it delivers nothing.
STDMETHODIMP SimFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    std::lock_guard lock(mutex_);
    *state = state_;
    return state_ == State_Paused && hold_.Held() ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP SimFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard lock(mutex_);
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP SimFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard lock(mutex_);
    *clock = clock_.Get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

STDMETHODIMP SimFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = nullptr;
    try {
        std::vector<Microsoft::WRL::ComPtr<IPin>> list;
        {
            std::lock_guard lock(mutex_);
            for (const auto& pin : pins_) list.emplace_back(pin.get());
        }
        return dshow::MakePinEnumerator(std::move(list), pins, &LiveObjects());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP SimFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!pin || !id) return E_POINTER;
    *pin = nullptr;
    std::lock_guard lock(mutex_);
    for (const auto& candidate : pins_)
        if (wcscmp(candidate->Id(), id) == 0) {
            *pin = candidate.get();
            (*pin)->AddRef();
            return S_OK;
        }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP_(ULONG) SimFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

void SimFilter::MakePins() {
    switch (role_) {
        case layout::kRoleWdm: {
            auto pin = std::make_unique<StreamOutputPin>(*this, kCapturePinId, true);
            streamPin_ = pin.get();
            pins_.push_back(std::move(pin));
            break;
        }
        case layout::kRoleTuner:
            pins_.push_back(std::make_unique<TunerOutputPin>(*this));
            break;
        case layout::kRoleReceiver: {
            auto input = std::make_unique<ReceiverInputPin>(*this);
            linkInput_ = input.get();
            pins_.push_back(std::move(input));
            auto output = std::make_unique<StreamOutputPin>(*this, kReceiverOutputPinId, false);
            streamPin_ = output.get();
            pins_.push_back(std::move(output));
            break;
        }
        default:
            break;
    }
}

STDMETHODIMP SimFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard lock(mutex_);
    wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP SimFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    std::lock_guard lock(mutex_);
    graph_ = graph;
    name_ = name ? name : L"";
    return S_OK;
}

// The id of the box that the filter stands for, whatever its role: tells a test
// which box's receiver a tuner was paired with.
STDMETHODIMP SimFilter::QueryVendorInfo(LPWSTR* info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    try {
        std::wstring id;
        {
            std::lock_guard lock(mutex_);
            if (!loaded_) return E_NOTIMPL;
            id = Widen(deviceId_);
        }
        const std::size_t bytes = (id.size() + 1) * sizeof(wchar_t);
        *info = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*info) return E_OUTOFMEMORY;
        std::memcpy(*info, id.c_str(), bytes);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

bool SimFilter::TunerId(std::string& id) {
    std::lock_guard lock(mutex_);
    if (!loaded_ || role_ == layout::kRoleReceiver) return false;
    id = deviceId_;
    return true;
}

STDMETHODIMP SimFilter::Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                            DWORD dataLength) {
    if (set != kVendorPropertySet) return E_PROP_SET_UNSUPPORTED;
    std::string device;
    if (!TunerId(device)) return E_PROP_SET_UNSUPPORTED;
    try {
        // The cancel is checked for its buffers, instance data included.
        if (id == remote::kCancelProperty) return ServeCancel(device, instance, instanceLength, data, dataLength);
        return ServeSet(device, id, data, dataLength, instanceLength);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP SimFilter::Get(REFGUID set, DWORD id, LPVOID, DWORD instanceLength, LPVOID data,
                            DWORD dataLength, DWORD* returned) {
    if (returned) *returned = 0;
    if (set != kVendorPropertySet) return E_PROP_SET_UNSUPPORTED;
    std::string device;
    if (!TunerId(device)) return E_PROP_SET_UNSUPPORTED;
    try {
        // A key read waits for a key: served apart, without the state lock while it waits.
        if (id == remote::kKeyProperty)
            return ServeKeyRead(device, data, dataLength, returned, instanceLength);
        return ServeGet(device, id, data, dataLength, returned, instanceLength);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP SimFilter::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!support) return E_POINTER;
    *support = 0;
    std::string device;
    if (set != kVendorPropertySet || !TunerId(device)) return E_PROP_SET_UNSUPPORTED;
    if (property::Supports(id, property::kGet) || id == remote::kKeyProperty) *support |= KSPROPERTY_SUPPORT_GET;
    if (property::Supports(id, property::kSet) || id == remote::kCancelProperty) *support |= KSPROPERTY_SUPPORT_SET;
    return *support ? S_OK : E_PROP_ID_UNSUPPORTED;
}

STDMETHODIMP SimFilter::InitNew() { return S_OK; }

STDMETHODIMP SimFilter::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    Variant device;
    (&device)->vt = VT_BSTR;
    if (FAILED(bag->Read(kDeviceValue, &device, log)) || device.Get().vt != VT_BSTR ||
        !device.Get().bstrVal)
        return E_FAIL;
    Variant role;
    (&role)->vt = VT_I4;
    DWORD roleNumber = layout::kRoleWdm;
    if (SUCCEEDED(bag->Read(kRoleValue, &role, log)) && role.Get().vt == VT_I4)
        roleNumber = static_cast<DWORD>(role.Get().lVal);
    Variant friendly;
    (&friendly)->vt = VT_BSTR;
    std::wstring name;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &friendly, log)) &&
        friendly.Get().vt == VT_BSTR && friendly.Get().bstrVal)
        name = friendly.Get().bstrVal;
    try {
        std::string id = Narrow(device.Get().bstrVal);
        std::lock_guard lock(mutex_);
        // The pins stand for the box and role first loaded: they cannot change.
        if (loaded_) return id == deviceId_ && roleNumber == role_ ? S_OK : E_UNEXPECTED;
        deviceId_ = std::move(id);
        role_ = roleNumber;
        name_ = std::move(name);
        MakePins();
        loaded_ = true;
    } catch (...) {
        pins_.clear();
        streamPin_ = nullptr;
        linkInput_ = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP SimFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

}  // namespace tunersim
