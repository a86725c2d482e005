#include "TsSink.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>
#include <new>

#include "ComEnumerators.h"

namespace ombrel::stream {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kPinId[] = L"In";
constexpr wchar_t kPinName[] = L"Transport stream";

template <class Interface>
HRESULT Give(Interface* object, void** out) {
    object->AddRef();
    *out = object;
    return S_OK;
}

}  // namespace

// --- Creation, IUnknown -------------------------------------------------------------

HRESULT TsSink::Create(OBS_PACKET_CALLBACK callback, void* context, IBaseFilter** sink) {
    if (!sink) return E_POINTER;
    *sink = nullptr;
    if (!callback) return E_POINTER;
    *sink = new (std::nothrow) TsSink(callback, context);
    return *sink ? S_OK : E_OUTOFMEMORY;
}

TsSink::TsSink(OBS_PACKET_CALLBACK callback, void* context) : callback_(callback), context_(context), pin_(*this) {}

TsSink::~TsSink() = default;

STDMETHODIMP TsSink::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IMediaFilter) ||
        IsEqualIID(riid, IID_IBaseFilter))
        return Give(static_cast<IBaseFilter*>(this), object);
    if (IsEqualIID(riid, IID_IAMFilterMiscFlags)) return Give(static_cast<IAMFilterMiscFlags*>(this), object);
    if (IsEqualIID(riid, kIidSinkStatistics)) return Give(static_cast<ISinkStatistics*>(this), object);
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TsSink::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) TsSink::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

// --- IBaseFilter ----------------------------------------------------------------------

STDMETHODIMP TsSink::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kClsidTsSink;
    return S_OK;
}

STDMETHODIMP TsSink::Stop() {
    {
        Hold state(stateLock_);
        state_ = State_Stopped;
        completePending_ = false;
        active_ = false;
    }
    // Waits for a Receive under way; the packets still waiting go on now, as from the
    // end of a stream, unless the sink failed.
    Hold stream(streamLock_);
    if (SUCCEEDED(failed_)) {
        try {
            aligner_.Finish(output_);
        } catch (const std::bad_alloc&) {
            FailLocked(E_OUTOFMEMORY);
        }
    }
    aligner_.Reset();
    endOfStream_ = false;
    return S_OK;
}

// A new run: whatever stopped the last one is forgotten. Called with the state lock.
void TsSink::StartAfreshLocked() {
    completePending_ = false;
    Hold stream(streamLock_);
    endOfStream_ = false;
    failed_ = S_OK;
}

STDMETHODIMP TsSink::Pause() {
    Hold state(stateLock_);
    if (state_ == State_Stopped) StartAfreshLocked();
    state_ = State_Paused;
    active_ = true;
    return S_OK;
}

STDMETHODIMP TsSink::Run(REFERENCE_TIME) {
    bool complete = false;
    {
        Hold state(stateLock_);
        if (state_ == State_Stopped) StartAfreshLocked();
        state_ = State_Running;
        active_ = true;
        complete = completePending_;
        completePending_ = false;
    }
    if (complete) Notify(EC_COMPLETE, S_OK);
    return S_OK;
}

STDMETHODIMP TsSink::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    Hold hold(stateLock_);
    *state = state_;
    return S_OK;
}

STDMETHODIMP TsSink::SetSyncSource(IReferenceClock* clock) {
    Hold state(stateLock_);
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP TsSink::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    Hold state(stateLock_);
    *clock = clock_.Get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

STDMETHODIMP TsSink::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = nullptr;
    try {
        return dshow::MakePinEnumerator({ComPtr<IPin>(&pin_)}, pins);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP TsSink::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    if (std::wcscmp(id, kPinId) != 0) return VFW_E_NOT_FOUND;
    return Give(static_cast<IPin*>(&pin_), reinterpret_cast<void**>(pin));
}

STDMETHODIMP TsSink::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    Hold graph(graphLock_);
    *info = FILTER_INFO{};
    const std::size_t n = std::min<std::size_t>(name_.size(), MAX_FILTER_NAME - 1);
    std::memcpy(info->achName, name_.data(), n * sizeof(wchar_t));
    info->achName[n] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP TsSink::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    try {
        Hold hold(graphLock_);
        graph_ = graph;
        name_ = name ? name : L"";
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP TsSink::QueryVendorInfo(LPWSTR* info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP_(ULONG) TsSink::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

HRESULT STDMETHODCALLTYPE TsSink::GetStatistics(OBS_STATISTICS* statistics) {
    if (!statistics) return E_POINTER;
    Hold stream(streamLock_);
    const AlignerCounts& a = aligner_.Counts();
    const CensusCounts& c = census_.Counts();
    *statistics = OBS_STATISTICS{};
    statistics->Buffers = a.buffers;
    statistics->BytesReceived = a.bytes;
    statistics->Packets = a.packets;
    statistics->BytesDropped = a.droppedBytes;
    statistics->SyncLosses = a.syncLosses;
    statistics->Discontinuities = a.discontinuities;
    statistics->ContinuityErrors = c.continuityErrors;
    statistics->ScrambledPackets = c.scrambledPackets;
    statistics->TransportErrors = c.transportErrors;
    return S_OK;
}

// --- Streaming ----------------------------------------------------------------------

bool TsSink::CallbackOutput::Packets(const std::uint8_t* packets, std::size_t count, bool discontinuity) {
    sink_.census_.Count(packets, count, discontinuity);
    const HRESULT hr = sink_.callback_(sink_.context_, packets, static_cast<unsigned long>(count), discontinuity ? TRUE : FALSE);
    if (SUCCEEDED(hr)) return true;
    sink_.FailLocked(hr);
    return false;
}

void TsSink::FailLocked(HRESULT reason) {
    if (SUCCEEDED(failed_)) failed_ = reason;
}

HRESULT TsSink::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    HRESULT failure = S_OK;
    {
        Hold stream(streamLock_);
        if (!active_) return VFW_E_WRONG_STATE;
        if (flushing_) return S_FALSE;
        if (endOfStream_) return VFW_E_SAMPLE_REJECTED_EOS;
        if (FAILED(failed_)) return failed_;

        AM_MEDIA_TYPE* handed = nullptr;
        if (sample->GetMediaType(&handed) == S_OK && handed) {
            const dshow::TaskMediaType changed(handed);
            if (!IsTransportStream(*changed)) return VFW_E_TYPE_NOT_ACCEPTED;
        }
        BYTE* data = nullptr;
        const HRESULT hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        const long length = sample->GetActualDataLength();
        const std::size_t size = data && length > 0 ? static_cast<std::size_t>(length) : 0;
        try {
            aligner_.Push(data, size, sample->IsDiscontinuity() == S_OK, output_);
        } catch (const std::bad_alloc&) {
            FailLocked(E_OUTOFMEMORY);
        }
        failure = failed_;
        if (FAILED(failure)) aligner_.Reset();  // nothing more goes on: what is kept is dropped
    }
    if (FAILED(failure)) {
        // The application's callback failed (or memory ran out): the graph is told once,
        // the source gets the failure and stops pushing.
        Notify(EC_ERRORABORT, failure);
        return failure;
    }
    return S_OK;
}

HRESULT TsSink::EndOfStream() {
    {
        Hold stream(streamLock_);
        if (!active_ || flushing_ || endOfStream_) return S_OK;
        endOfStream_ = true;
        if (SUCCEEDED(failed_)) {
            try {
                aligner_.Finish(output_);
            } catch (const std::bad_alloc&) {
                FailLocked(E_OUTOFMEMORY);
            }
        }
    }
    {
        // A renderer reports its end of stream while running; paused, at the next Run.
        Hold state(stateLock_);
        if (state_ != State_Running) {
            completePending_ = state_ == State_Paused;
            return S_OK;
        }
    }
    Notify(EC_COMPLETE, S_OK);
    return S_OK;
}

HRESULT TsSink::BeginFlush() {
    flushing_ = true;
    Hold stream(streamLock_);  // waits for a Receive under way
    aligner_.Reset();
    endOfStream_ = false;
    return S_OK;
}

HRESULT TsSink::EndFlush() {
    {
        Hold state(stateLock_);
        completePending_ = false;
    }
    flushing_ = false;
    return S_OK;
}

void TsSink::Notify(long code, LONG_PTR param1) {
    ComPtr<IMediaEventSink> events;
    {
        Hold graph(graphLock_);
        if (!graph_ || FAILED(graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()))))
            return;
    }
    events->Notify(code, param1, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

// --- Connection -----------------------------------------------------------------------

HRESULT TsSink::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE& type) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (FAILED(connector->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    Hold state(stateLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (!IsTransportStream(type)) return VFW_E_TYPE_NOT_ACCEPTED;
    const HRESULT hr = connectionType_.Assign(type);
    if (FAILED(hr)) return hr;
    connected_ = connector;
    return S_OK;
}

HRESULT TsSink::Disconnect() {
    Hold state(stateLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!connected_) return S_FALSE;
    connected_.Reset();
    allocator_.Reset();
    connectionType_.Clear();
    return S_OK;
}

HRESULT TsSink::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    Hold state(stateLock_);
    *pin = connected_.Get();
    if (!*pin) return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

HRESULT TsSink::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    Hold state(stateLock_);
    if (!connected_) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return connectionType_.CopyTo(*type);
}

HRESULT TsSink::GetAllocator(IMemAllocator** allocator) {
    if (!allocator) return E_POINTER;
    Hold state(stateLock_);
    if (!allocator_) {
        const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                            reinterpret_cast<void**>(allocator_.GetAddressOf()));
        if (FAILED(hr)) {
            *allocator = nullptr;
            return hr;
        }
    }
    *allocator = allocator_.Get();
    (*allocator)->AddRef();
    return S_OK;
}

HRESULT TsSink::NotifyAllocator(IMemAllocator* allocator) {
    if (!allocator) return E_POINTER;
    Hold state(stateLock_);
    allocator_ = allocator;
    return S_OK;
}

// --- The pin ------------------------------------------------------------------------

STDMETHODIMP TsSinkPin::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin)) return Give(static_cast<IPin*>(this), object);
    if (IsEqualIID(riid, IID_IMemInputPin)) return Give(static_cast<IMemInputPin*>(this), object);
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TsSinkPin::AddRef() { return filter_.AddRef(); }
STDMETHODIMP_(ULONG) TsSinkPin::Release() { return filter_.Release(); }

// An input pin does not start a connection; the output pin does (ReceiveConnection).
STDMETHODIMP TsSinkPin::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP TsSinkPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type) return E_POINTER;
    return filter_.ReceiveConnection(connector, *type);
}

STDMETHODIMP TsSinkPin::Disconnect() { return filter_.Disconnect(); }
STDMETHODIMP TsSinkPin::ConnectedTo(IPin** pin) { return filter_.ConnectedTo(pin); }
STDMETHODIMP TsSinkPin::ConnectionMediaType(AM_MEDIA_TYPE* type) { return filter_.ConnectionMediaType(type); }

STDMETHODIMP TsSinkPin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    *info = PIN_INFO{};
    info->pFilter = static_cast<IBaseFilter*>(&filter_);
    info->pFilter->AddRef();
    info->dir = PINDIR_INPUT;
    std::memcpy(info->achName, kPinName, sizeof kPinName);
    return S_OK;
}

STDMETHODIMP TsSinkPin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = PINDIR_INPUT;
    return S_OK;
}

STDMETHODIMP TsSinkPin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinId));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, kPinId, sizeof kPinId);
    return S_OK;
}

STDMETHODIMP TsSinkPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return IsTransportStream(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP TsSinkPin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    try {
        return dshow::MakeMediaTypeEnumerator(OfferedTypes(), types);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP TsSinkPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP TsSinkPin::EndOfStream() { return filter_.EndOfStream(); }
STDMETHODIMP TsSinkPin::BeginFlush() { return filter_.BeginFlush(); }
STDMETHODIMP TsSinkPin::EndFlush() { return filter_.EndFlush(); }
STDMETHODIMP TsSinkPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP TsSinkPin::GetAllocator(IMemAllocator** allocator) { return filter_.GetAllocator(allocator); }
STDMETHODIMP TsSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL) { return filter_.NotifyAllocator(allocator); }
STDMETHODIMP TsSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }
STDMETHODIMP TsSinkPin::Receive(IMediaSample* sample) { return filter_.Receive(sample); }

STDMETHODIMP TsSinkPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = filter_.Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

STDMETHODIMP TsSinkPin::ReceiveCanBlock() { return S_FALSE; }

}  // namespace ombrel::stream
