// What every pin of the simulated filters shares: identity, the connection with its
// media type, and the connection protocol of IPin (an output pin proposes types and
// calls the peer's ReceiveConnection; an input pin judges what it is offered). A pin's
// references are its filter's: it lives as long as the filter.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <mutex>
#include <string>

#include "MediaType.h"
#include "StreamClaim.h"

namespace tunersim {

// How a pin tells another pin of this DLL which box and role it belongs to.
// {3D6B1E40-7C2A-4F8B-9E51-6A0C2D9F7B13}
inline constexpr GUID IID_ISimPinEndpoint = {
    0x3D6B1E40, 0x7C2A, 0x4F8B, {0x9E, 0x51, 0x6A, 0x0C, 0x2D, 0x9F, 0x7B, 0x13}};

struct ISimPinEndpoint : public IUnknown {
    virtual claim::Endpoint STDMETHODCALLTYPE Describe() = 0;
};

// What a pin needs of the filter that owns it.
class PinOwner {
public:
    virtual IBaseFilter* Filter() = 0;  // not AddRef'd
    virtual bool Stopped() const = 0;
    virtual claim::Endpoint Box() const = 0;  // id and role; `input` left false

protected:
    ~PinOwner() = default;
};

class PinBase : public IPin, public ISimPinEndpoint {
public:
    PinBase(PinOwner& owner, const wchar_t* id, PIN_DIRECTION direction);
    PinBase(const PinBase&) = delete;
    PinBase& operator=(const PinBase&) = delete;
    virtual ~PinBase() = default;

    // IUnknown (references are the filter's)
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // ISimPinEndpoint
    claim::Endpoint STDMETHODCALLTYPE Describe() override;

    const wchar_t* Id() const { return id_.c_str(); }
    bool Connected();
    Microsoft::WRL::ComPtr<IPin> Peer();

protected:
    // Whether this pin may connect to `peer` at all (before any type is tried).
    virtual HRESULT CheckPeer(IPin* peer);
    // After the peer took the type (output pins): allocator and transport; a failure
    // undoes the connection.
    virtual HRESULT CompleteConnect(IPin* peer);
    // The connection is going: drop what CompleteConnect set up.
    virtual void BreakConnect() {}
    // Interfaces beyond IPin (IKsPropertySet on the capture pin).
    virtual HRESULT QueryMore(REFIID riid, void** object);

    PinOwner& owner_;

private:
    HRESULT TryConnect(IPin* receivePin, const AM_MEDIA_TYPE& type);

    const std::wstring id_;
    const PIN_DIRECTION direction_;
    // Recursive: a peer may ask this pin about itself while it connects to it.
    std::recursive_mutex mutex_;
    Microsoft::WRL::ComPtr<IPin> peer_;
    MediaType type_;
};

// The Endpoint of a pin that may be one of this DLL's; nullptr result when it is not.
bool DescribePeer(IPin* pin, claim::Endpoint& out);

}  // namespace tunersim
