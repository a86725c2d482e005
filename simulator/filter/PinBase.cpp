#include "PinBase.h"

#include <vfwmsgs.h>

#include <cstring>

#include "ComEnumerators.h"
#include "SimFilter.h"  // LiveObjects

namespace tunersim {

using Microsoft::WRL::ComPtr;

PinBase::PinBase(PinOwner& owner, const wchar_t* id, PIN_DIRECTION direction)
    : owner_(owner), id_(id), direction_(direction) {}

STDMETHODIMP PinBase::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *object = static_cast<IPin*>(this);
    } else if (riid == IID_ISimPinEndpoint) {
        *object = static_cast<ISimPinEndpoint*>(this);
    } else {
        return QueryMore(riid, object);
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) PinBase::AddRef() { return owner_.Filter()->AddRef(); }
STDMETHODIMP_(ULONG) PinBase::Release() { return owner_.Filter()->Release(); }

HRESULT PinBase::QueryMore(REFIID, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT PinBase::CheckPeer(IPin*) { return S_OK; }
HRESULT PinBase::CompleteConnect(IPin*) { return S_OK; }

claim::Endpoint PinBase::Describe() {
    claim::Endpoint e = owner_.Box();
    e.input = direction_ == PINDIR_INPUT;
    return e;
}

bool DescribePeer(IPin* pin, claim::Endpoint& out) {
    ComPtr<ISimPinEndpoint> endpoint;
    if (!pin || FAILED(pin->QueryInterface(IID_ISimPinEndpoint, reinterpret_cast<void**>(endpoint.GetAddressOf()))))
        return false;
    out = endpoint->Describe();
    return true;
}

bool PinBase::Connected() {
    std::lock_guard lock(mutex_);
    return peer_ != nullptr;
}

ComPtr<IPin> PinBase::Peer() {
    std::lock_guard lock(mutex_);
    return peer_;
}

// The types are tried in the order DirectShow's own output pins use: the caller's
// type if it is complete, else this pin's types that fit it, then the peer's.
STDMETHODIMP PinBase::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (!receivePin) return E_POINTER;
    if (direction_ != PINDIR_OUTPUT) return E_UNEXPECTED;
    std::lock_guard lock(mutex_);
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (!owner_.Stopped()) return VFW_E_NOT_STOPPED;
    const HRESULT allowed = CheckPeer(receivePin);
    if (FAILED(allowed)) return allowed;
    try {
        for (const MediaType& ours : TransportStreamTypes())
            if (Fits(ours.Get(), type) && SUCCEEDED(TryConnect(receivePin, ours.Get()))) return S_OK;
        ComPtr<IEnumMediaTypes> theirs;
        if (SUCCEEDED(receivePin->EnumMediaTypes(&theirs)) && theirs) {
            AM_MEDIA_TYPE* offered = nullptr;
            while (theirs->Next(1, &offered, nullptr) == S_OK && offered) {
                const dshow::TaskMediaType taken(offered);
                offered = nullptr;
                if (IsTransportStream(*taken) && Fits(*taken, type) && SUCCEEDED(TryConnect(receivePin, *taken)))
                    return S_OK;
            }
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT PinBase::TryConnect(IPin* receivePin, const AM_MEDIA_TYPE& type) {
    HRESULT hr = receivePin->ReceiveConnection(this, &type);
    if (FAILED(hr)) return hr;
    peer_ = receivePin;
    type_ = MediaType(type);
    hr = CompleteConnect(receivePin);
    if (FAILED(hr)) {
        BreakConnect();
        receivePin->Disconnect();
        peer_.Reset();
        type_ = MediaType();
    }
    return hr;
}

STDMETHODIMP PinBase::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type) return E_POINTER;
    if (direction_ != PINDIR_INPUT) return E_UNEXPECTED;
    std::lock_guard lock(mutex_);
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (!owner_.Stopped()) return VFW_E_NOT_STOPPED;
    const HRESULT allowed = CheckPeer(connector);
    if (FAILED(allowed)) return allowed;
    if (!IsTransportStream(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
    try {
        type_ = MediaType(*type);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    peer_ = connector;
    return S_OK;
}

STDMETHODIMP PinBase::Disconnect() {
    std::lock_guard lock(mutex_);
    if (!owner_.Stopped()) return VFW_E_NOT_STOPPED;
    if (!peer_) return S_FALSE;
    BreakConnect();
    peer_.Reset();
    type_ = MediaType();
    return S_OK;
}

STDMETHODIMP PinBase::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    std::lock_guard lock(mutex_);
    *pin = peer_.Get();
    if (!*pin) return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP PinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!peer_) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return type_.CopyTo(*type);
}

STDMETHODIMP PinBase::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = owner_.Filter();
    info->pFilter->AddRef();
    info->dir = direction_;
    wcsncpy(info->achName, id_.c_str(), MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
    return S_OK;
}

STDMETHODIMP PinBase::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = direction_;
    return S_OK;
}

STDMETHODIMP PinBase::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    const std::size_t bytes = (id_.size() + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, id_.c_str(), bytes);
    return S_OK;
}

STDMETHODIMP PinBase::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return IsTransportStream(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP PinBase::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    try {
        return dshow::MakeMediaTypeEnumerator(TransportStreamTypes(), types, &LiveObjects());
    } catch (const std::bad_alloc&) {
        *types = nullptr;
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP PinBase::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

// The data of the tuner-receiver link does not pass through user mode (as a kernel
// streaming link's does not): an input pin takes the stream calls and ignores them.
STDMETHODIMP PinBase::EndOfStream() { return direction_ == PINDIR_INPUT ? S_OK : E_UNEXPECTED; }
STDMETHODIMP PinBase::BeginFlush() { return direction_ == PINDIR_INPUT ? S_OK : E_UNEXPECTED; }
STDMETHODIMP PinBase::EndFlush() { return direction_ == PINDIR_INPUT ? S_OK : E_UNEXPECTED; }
STDMETHODIMP PinBase::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

}  // namespace tunersim
