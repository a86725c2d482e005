// The transport-stream sink: a DirectShow renderer filter with one input pin that cuts
// the samples it receives into whole packets (PacketAligner) and hands them, counted
// (StreamCensus), to the application's callback.
//
// Locks, always taken in this order and never held across a call into the graph:
// stateLock_ (filter state, connection), streamLock_ (what Receive touches: the aligner,
// the census, the callback), graphLock_ (the graph the filter belongs to).
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <string>

#include <OmbrelStream.h>

#include "CritSec.h"
#include "MediaTypes.h"
#include "PacketAligner.h"
#include "StreamCensus.h"

namespace ombrel::stream {

// The sink's figures, for OBS_GetSinkStatistics: a private interface of the sink.
// {7C1E0B52-3F0A-4C2B-9E51-6A0C4D2B8F13}
inline constexpr IID kIidSinkStatistics = {0x7C1E0B52, 0x3F0A, 0x4C2B, {0x9E, 0x51, 0x6A, 0x0C, 0x4D, 0x2B, 0x8F, 0x13}};
struct ISinkStatistics : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetStatistics(OBS_STATISTICS* statistics) = 0;
};

// {3B7D2E61-9A4C-4F0E-8C2D-5E1F6A7B8C90}: the sink's class (not registered; made by
// OBS_CreateSink only).
inline constexpr CLSID kClsidTsSink = {0x3B7D2E61, 0x9A4C, 0x4F0E, {0x8C, 0x2D, 0x5E, 0x1F, 0x6A, 0x7B, 0x8C, 0x90}};

class TsSink;

// The sink's input pin; its references are the filter's.
class TsSinkPin final : public IPin, public IMemInputPin {
public:
    explicit TsSinkPin(TsSink& filter) : filter_(filter) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
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

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

private:
    TsSink& filter_;
};

class TsSink final : public IBaseFilter, public IAMFilterMiscFlags, public ISinkStatistics {
public:
    static HRESULT Create(OBS_PACKET_CALLBACK callback, void* context, IBaseFilter** sink);

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist
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
    // IAMFilterMiscFlags: a renderer, so that the graph waits for its end of stream.
    STDMETHODIMP_(ULONG) GetMiscFlags() override;
    // ISinkStatistics
    HRESULT STDMETHODCALLTYPE GetStatistics(OBS_STATISTICS* statistics) override;

private:
    friend class TsSinkPin;

    // Where the aligner's packets go: the census, then the callback; a failed callback
    // stops the sink.
    class CallbackOutput final : public PacketOutput {
    public:
        explicit CallbackOutput(TsSink& sink) : sink_(sink) {}
        bool Packets(const std::uint8_t* packets, std::size_t count, bool discontinuity) override;

    private:
        TsSink& sink_;
    };

    TsSink(OBS_PACKET_CALLBACK callback, void* context);
    ~TsSink();

    // The pin's work, under the filter's locks.
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE& type);
    HRESULT Disconnect();
    HRESULT ConnectedTo(IPin** pin);
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type);
    HRESULT Receive(IMediaSample* sample);
    HRESULT EndOfStream();
    HRESULT BeginFlush();
    HRESULT EndFlush();
    HRESULT GetAllocator(IMemAllocator** allocator);
    HRESULT NotifyAllocator(IMemAllocator* allocator);

    // Tells the graph the filter belongs to, if any (EC_COMPLETE, EC_ERRORABORT).
    void Notify(long code, LONG_PTR param1);
    // Stops handing on (a failed callback, an allocation failure); Receive then drops
    // what the aligner keeps. With streamLock_.
    void FailLocked(HRESULT reason);
    // Pause or Run from Stopped: forgets how the last run ended. With stateLock_.
    void StartAfreshLocked();

    std::atomic<ULONG> references_{1};
    const OBS_PACKET_CALLBACK callback_;
    void* const context_;
    TsSinkPin pin_;

    CritSec stateLock_;
    FILTER_STATE state_ = State_Stopped;
    bool completePending_ = false;  // end of stream while paused: EC_COMPLETE at Run
    Microsoft::WRL::ComPtr<IReferenceClock> clock_;
    Microsoft::WRL::ComPtr<IPin> connected_;
    MediaType connectionType_;
    Microsoft::WRL::ComPtr<IMemAllocator> allocator_;

    CritSec streamLock_;
    std::atomic<bool> active_{false};  // paused or running: samples are taken
    std::atomic<bool> flushing_{false};
    bool endOfStream_ = false;
    HRESULT failed_ = S_OK;
    PacketAligner aligner_;
    StreamCensus census_;
    CallbackOutput output_{*this};

    CritSec graphLock_;
    IFilterGraph* graph_ = nullptr;  // not owned, as the filter-graph contract says
    std::wstring name_;
};

}  // namespace ombrel::stream
