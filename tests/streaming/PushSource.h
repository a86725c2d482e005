// A source filter of the tests' own: one output pin that pushes a script of samples
// (any bytes, discontinuity flags, empty ones) from a thread of its own while the graph
// runs, then ends as the script says: an end of stream, a lost device, an error, or
// nothing (it then idles until stopped). It stands in for a tuner's capture filter.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace streamtest {

struct Sample {
    std::vector<std::uint8_t> bytes;
    bool discontinuity = false;
};

enum class Ending { EndOfStream, EndThenDeviceLost, DeviceLost, ErrorAbort, Nothing };

struct Script {
    std::vector<Sample> samples;
    Ending ending = Ending::EndOfStream;
    HRESULT error = E_FAIL;  // for ErrorAbort
    GUID subtype{};          // of the pin's one media type (majortype MEDIATYPE_Stream)
    GUID majortype{};
};

class PushSource final : public IBaseFilter {
public:
    static Microsoft::WRL::ComPtr<PushSource> Make(Script script);

    // What Receive returned for each sample pushed so far.
    std::vector<HRESULT> Results();
    // Blocks until the script's samples are pushed (or refused) and its ending done.
    bool WaitPushed(DWORD ms);
    IPin* Pin();

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    class OutputPin;

private:
    explicit PushSource(Script script);
    ~PushSource();
    void Push();
    void Notify(long code, LONG_PTR param1, LONG_PTR param2);
    void StopThread();

    std::atomic<ULONG> references_{1};
    Script script_;
    std::unique_ptr<OutputPin> pin_;
    std::mutex mutex_;
    std::condition_variable changed_;
    FILTER_STATE state_ = State_Stopped;
    IFilterGraph* graph_ = nullptr;
    std::wstring name_;
    std::thread thread_;
    bool stopping_ = false;
    bool pushed_ = false;
    std::vector<HRESULT> results_;
};

}  // namespace streamtest
