// The simulator's filter object: the stand-in for the tuner driver's filters. It binds
// like a real filter (IBaseFilter, IPersistPropertyBag) and answers the vendor property
// set (IKsPropertySet) for the box named by its registry instance key. Its pins follow
// its role: the WDM capture filter has one output carrying the box's transport stream;
// the BDA network tuner an output that feeds its box's receiver component, whose input
// takes it and whose output carries the stream.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PinBase.h"
#include "StreamHold.h"

namespace tunersim {

class StreamOutputPin;

class SimFilter final : public IBaseFilter,
                        public IKsPropertySet,
                        public IPersistPropertyBag,
                        public IAMFilterMiscFlags,
                        public PinOwner {
public:
    SimFilter();
    SimFilter(const SimFilter&) = delete;
    SimFilter& operator=(const SimFilter&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist (shared by IBaseFilter and IPersistPropertyBag)
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength,
                     LPVOID data, DWORD dataLength) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength,
                     LPVOID data, DWORD dataLength, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

private:
    ~SimFilter();

    // PinOwner (for the pins alone)
    IBaseFilter* Filter() override { return this; }
    bool Stopped() const override { return state_ == State_Stopped; }
    claim::Endpoint Box() const override;

    void MakePins();  // once loaded, by the role
    // Stopped -> Paused: take the box's stream and commit the allocator.
    HRESULT Activate();
    void Deactivate();
    // Fails a transition: returns `why` and tells the graph (EC_ERRORABORT).
    HRESULT Refuse(HRESULT why);

    // The device id when the object stands for a tuner (WDM or BDA network tuner).
    bool TunerId(std::string& id);

    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    std::string deviceId_;
    DWORD role_ = 0;
    bool loaded_ = false;
    // Written under mutex_; read without it by the pins (which connect only when stopped).
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::vector<std::unique_ptr<PinBase>> pins_;
    StreamOutputPin* streamPin_ = nullptr;  // in pins_: the pin that carries the stream
    PinBase* linkInput_ = nullptr;          // in pins_: the receiver's input
    StreamHold hold_;
    IFilterGraph* graph_ = nullptr;  // not owned, as the filter-graph contract says
    Microsoft::WRL::ComPtr<IReferenceClock> clock_;
    std::wstring name_;
};

// Objects alive in this DLL, for DllCanUnloadNow.
std::atomic<long>& LiveObjects();

}  // namespace tunersim
