// The output pin that carries a box's transport stream (the WDM capture filter's, the
// BDA receiver's): allocator negotiation at connection, the allocator committed while
// the filter is active, the streaming thread while it runs. The capture filter's pin
// says so through IKsPropertySet (AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY).
#pragma once

#include <memory>

#include "PinBase.h"
#include "StreamPump.h"

namespace tunersim {

class StreamOutputPin final : public PinBase, public IKsPropertySet {
public:
    StreamOutputPin(PinOwner& owner, const wchar_t* id, bool capture);
    ~StreamOutputPin() override;

    // IUnknown, for both bases
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override { return PinBase::QueryInterface(riid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                     DWORD dataLength) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                     DWORD dataLength, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // The filter's state changes (called with the filter's lock held, never from the
    // streaming thread). Activate commits the allocator and starts the streaming thread
    // (Stopped -> Paused); `events` is the graph's sink, not held.
    HRESULT Activate(IReferenceClock* clock, IMediaEventSink* events);
    void Run(REFERENCE_TIME start);
    void Pause();
    // Ends the thread and decommits (-> Stopped).
    void Deactivate();

protected:
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;
    HRESULT QueryMore(REFIID riid, void** object) override;

private:
    HRESULT DecideAllocator(IMemInputPin* input);

    const bool capture_;
    Microsoft::WRL::ComPtr<IMemInputPin> input_;
    Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
    std::unique_ptr<StreamPump> pump_;
};

}  // namespace tunersim
