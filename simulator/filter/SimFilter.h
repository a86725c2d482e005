// The simulator's filter object: the stand-in for the tuner driver's filters. It binds
// like a real filter (IBaseFilter, IPersistPropertyBag) and answers the vendor property
// set (IKsPropertySet) for the box named by its registry instance key.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <string>

namespace tunersim {

class SimFilter final : public IBaseFilter, public IKsPropertySet, public IPersistPropertyBag {
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

private:
    ~SimFilter();

    // The device id when the object stands for a tuner (WDM or BDA network tuner).
    bool TunerId(std::string& id);

    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    std::string deviceId_;
    DWORD role_ = 0;
    bool loaded_ = false;
    FILTER_STATE state_ = State_Stopped;
    IFilterGraph* graph_ = nullptr;  // not owned, as the filter-graph contract says
    Microsoft::WRL::ComPtr<IReferenceClock> clock_;
    std::wstring name_;
};

// Objects alive in this DLL, for DllCanUnloadNow.
std::atomic<long>& LiveObjects();

}  // namespace tunersim
