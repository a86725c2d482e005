#include "StreamGraph.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <vector>

#include "TsSink.h"

namespace ombrel::stream {
namespace {

using Microsoft::WRL::ComPtr;

// How long the graph is watched for a weightier reason once it reported an end: a
// source that loses its device ends the stream and then reports the loss.
constexpr DWORD kSettleMs = 300;
// How often the tuner's presence is checked while waiting.
constexpr DWORD kPresencePollMs = 250;

int Weight(OBS_STREAM_EVENT event) {
    switch (event) {
    case OBS_EVENT_DEVICE_LOST: return 3;
    case OBS_EVENT_ERROR: return 2;
    case OBS_EVENT_COMPLETE: return 1;
    default: return 0;
    }
}

// Whether the filter is in a graph: in `which`, or in any when it is null.
bool InGraph(IBaseFilter* filter, IGraphBuilder* which = nullptr) {
    FILTER_INFO info{};
    if (FAILED(filter->QueryFilterInfo(&info))) return false;
    ComPtr<IFilterGraph> owner;
    owner.Attach(info.pGraph);  // QueryFilterInfo's reference
    if (!owner) return false;
    if (!which) return true;
    ComPtr<IUnknown> theirs, ours;
    owner.As(&theirs);
    which->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ours.GetAddressOf()));
    return theirs && theirs == ours;
}

// The filter's unconnected pins of one direction.
std::vector<ComPtr<IPin>> FreePins(IBaseFilter* filter, PIN_DIRECTION wanted) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> all;
    if (FAILED(filter->EnumPins(all.GetAddressOf())) || !all) return pins;
    ComPtr<IPin> pin;
    while (all->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted &&
            pin->ConnectedTo(peer.GetAddressOf()) == VFW_E_NOT_CONNECTED)
            pins.push_back(pin);
    }
    return pins;
}

// Connects an output pin of `from` directly to an input pin of `to`: no filter in
// between, the media type as the pins agree it.
HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
    const auto outputs = FreePins(from, PINDIR_OUTPUT);
    const auto inputs = FreePins(to, PINDIR_INPUT);
    if (outputs.empty() || inputs.empty()) return VFW_E_NOT_FOUND;
    HRESULT last = VFW_E_CANNOT_CONNECT;
    for (const auto& out : outputs) {
        for (const auto& in : inputs) {
            last = graph->ConnectDirect(out.Get(), in.Get(), nullptr);
            if (SUCCEEDED(last)) return S_OK;
        }
    }
    return last;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Waits up to `ms` for the graph's event handle, dispatching the thread's messages.
void WaitForEvents(HANDLE events, DWORD ms) {
    const DWORD result = MsgWaitForMultipleObjects(events ? 1 : 0, events ? &events : nullptr, FALSE, ms, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0 + (events ? 1 : 0)) PumpMessages();
}

}  // namespace

HRESULT StreamGraph::Start(StreamSource source, OBS_PACKET_CALLBACK callback, void* context,
                           std::unique_ptr<StreamGraph>& graph) {
    graph.reset();
    if (!source.tuner) return VFW_E_NOT_FOUND;
    if (InGraph(source.tuner.Get()) || (source.receiver && InGraph(source.receiver.Get())))
        return HRESULT_FROM_WIN32(ERROR_BUSY);
    auto built = std::make_unique<StreamGraph>();
    built->source_ = std::move(source);
    const HRESULT hr = built->Build(callback, context);
    if (FAILED(hr)) return hr;  // the destructor takes the filters out again
    graph = std::move(built);
    return S_OK;
}

HRESULT StreamGraph::Build(OBS_PACKET_CALLBACK callback, void* context) {
    HRESULT hr = TsSink::Create(callback, context, sink_.GetAddressOf());
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(graph_.GetAddressOf()));
    if (FAILED(hr)) return hr;
    IBaseFilter* const tuner = source_.tuner.Get();
    IBaseFilter* const receiver = source_.receiver.Get();
    if (FAILED(hr = graph_->AddFilter(tuner, L"Tuner"))) return hr;
    if (receiver && FAILED(hr = graph_->AddFilter(receiver, L"Receiver"))) return hr;
    if (FAILED(hr = graph_->AddFilter(sink_.Get(), L"Transport stream sink"))) return hr;
    if (receiver) {
        if (FAILED(hr = ConnectFilters(graph_.Get(), tuner, receiver))) return hr;
        if (FAILED(hr = ConnectFilters(graph_.Get(), receiver, sink_.Get()))) return hr;
    } else if (FAILED(hr = ConnectFilters(graph_.Get(), tuner, sink_.Get()))) {
        return hr;
    }
    if (FAILED(hr = graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(control_.GetAddressOf()))))
        return hr;
    if (FAILED(hr = graph_->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events_.GetAddressOf()))))
        return hr;
    hr = control_->Run();
    return FAILED(hr) ? hr : S_OK;
}

StreamGraph::~StreamGraph() { Stop(); }

HRESULT StreamGraph::Stop() {
    if (stopped_ || !graph_) return S_OK;
    stopped_ = true;
    HRESULT hr = S_OK;
    if (control_) hr = control_->Stop();
    // Out of the graph again, pins disconnected: the tuner's filters stay the handle's.
    for (IBaseFilter* filter : {sink_.Get(), source_.receiver.Get(), source_.tuner.Get()}) {
        if (filter && InGraph(filter, graph_.Get())) graph_->RemoveFilter(filter);
    }
    events_.Reset();
    control_.Reset();
    graph_.Reset();
    return FAILED(hr) ? hr : S_OK;
}

void StreamGraph::TakeEvents() {
    if (!events_) return;
    long code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (events_->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        OBS_STREAM_EVENT event = OBS_EVENT_NONE;
        HRESULT reason = S_OK;
        switch (code) {
        case EC_COMPLETE: event = OBS_EVENT_COMPLETE; break;
        case EC_DEVICE_LOST:
            if (param2 == 0) event = OBS_EVENT_DEVICE_LOST;  // 1: the device is back
            break;
        case EC_ERRORABORT:
        case EC_ERRORABORTEX:
        case EC_STREAM_ERROR_STOPPED:
            event = OBS_EVENT_ERROR;
            reason = static_cast<HRESULT>(param1);
            break;
        case EC_USERABORT:
            event = OBS_EVENT_ERROR;
            reason = E_ABORT;
            break;
        default: break;
        }
        events_->FreeEventParams(code, param1, param2);
        if (Weight(event) > Weight(event_)) {
            event_ = event;
            reason_ = reason;
        }
    }
}

HANDLE StreamGraph::EventHandle() const {
    OAEVENT raw = 0;
    if (!events_ || FAILED(events_->GetEventHandle(&raw))) return nullptr;
    return reinterpret_cast<HANDLE>(raw);  // the graph's own: not closed here
}

void StreamGraph::Settle(HANDLE handle) {
    const ULONGLONG until = GetTickCount64() + kSettleMs;
    for (ULONGLONG now = GetTickCount64(); now < until && event_ != OBS_EVENT_DEVICE_LOST; now = GetTickCount64()) {
        WaitForEvents(handle, static_cast<DWORD>(until - now));
        TakeEvents();
    }
    if (event_ != OBS_EVENT_DEVICE_LOST && source_.present && !source_.present()) {
        event_ = OBS_EVENT_DEVICE_LOST;
        reason_ = S_OK;
    }
    ended_ = true;
}

HRESULT StreamGraph::Wait(DWORD timeoutMs, OBS_STREAM_EVENT& event, HRESULT& reason) {
    const HANDLE handle = EventHandle();
    const ULONGLONG start = GetTickCount64();
    while (!ended_) {
        TakeEvents();
        if (event_ != OBS_EVENT_NONE) {
            Settle(handle);
            break;
        }
        if (source_.present && !source_.present()) {
            event_ = OBS_EVENT_DEVICE_LOST;
            reason_ = S_OK;
            ended_ = true;
            break;
        }
        const ULONGLONG waited = GetTickCount64() - start;
        if (timeoutMs != INFINITE && waited >= timeoutMs) break;
        DWORD slice = kPresencePollMs;
        if (timeoutMs != INFINITE && timeoutMs - waited < slice) slice = static_cast<DWORD>(timeoutMs - waited);
        WaitForEvents(handle, slice);
    }
    event = ended_ ? event_ : OBS_EVENT_NONE;
    reason = ended_ ? reason_ : S_OK;
    return ended_ ? S_OK : S_FALSE;
}

HRESULT StreamGraph::Statistics(OBS_STATISTICS& statistics) const {
    ComPtr<ISinkStatistics> figures;
    const HRESULT hr = sink_->QueryInterface(kIidSinkStatistics, reinterpret_cast<void**>(figures.GetAddressOf()));
    if (FAILED(hr)) return hr;
    return figures->GetStatistics(&statistics);
}

}  // namespace ombrel::stream
