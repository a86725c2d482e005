#include "GraphSupport.h"

#include <stdexcept>

#include "StreamFormat.h"

namespace streamtest {

ComPtr<IBaseFilter> BindDisplayName(const std::string& displayName) {
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, &context))) return nullptr;
    const std::wstring wide(displayName.begin(), displayName.end());
    ComPtr<IMoniker> moniker;
    ULONG eaten = 0;
    if (FAILED(MkParseDisplayName(context.Get(), wide.c_str(), &eaten, &moniker)) || !moniker) return nullptr;
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(context.Get(), nullptr, IID_IBaseFilter,
                                     reinterpret_cast<void**>(filter.GetAddressOf()))))
        return nullptr;
    return filter;
}

STDMETHODIMP PacketCounter::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *object = static_cast<ISampleGrabberCB*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PacketCounter::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

void PacketCounter::UseClock(IReferenceClock* clock, REFERENCE_TIME start) {
    std::lock_guard lock(mutex_);
    clock_ = clock;
    start_ = start;
}

STDMETHODIMP PacketCounter::SampleCB(double, IMediaSample* sample) {
    BYTE* data = nullptr;
    if (!sample || FAILED(sample->GetPointer(&data))) return S_OK;
    const long length = sample->GetActualDataLength();
    std::lock_guard lock(mutex_);
    if (!lastInit_) {
        last_.fill(-1);
        lastInit_ = true;
    }
    ++tally_.samples;
    const bool flagged = sample->IsDiscontinuity() == S_OK;
    if (flagged) {
        ++tally_.discontinuities;
        last_.fill(-1);
        tally_.patAfterLastDiscontinuity = 0;
    }
    REFERENCE_TIME begin = 0, end = 0;
    if (FAILED(sample->GetTime(&begin, &end))) {
        ++tally_.untimed;
    } else if (clock_) {
        REFERENCE_TIME now = 0;
        if (SUCCEEDED(clock_->GetTime(&now))) {
            const double ms = static_cast<double>(now - start_ - begin) / 10000.0;
            tally_.latencyMsSum += ms;
            tally_.latencyMsMax = std::max(tally_.latencyMsMax, ms);
            ++tally_.latencySamples;
        }
    }
    if (length <= 0 || length % 188 != 0) {
        ++tally_.badSamples;
        return S_OK;
    }
    for (long offset = 0; offset < length; offset += 188) {
        const BYTE* p = data + offset;
        if (p[0] != 0x47) {
            ++tally_.badSamples;
            return S_OK;
        }
        ++tally_.packets;
        const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
        tally_.errors += (p[1] & 0x80) != 0;
        const bool payload = (p[3] & 0x10) != 0;
        const int counter = p[3] & 0x0F;
        if (payload) {
            ++tally_.payload[pid];
            if (p[3] >> 6) ++tally_.scrambled[pid];
        }
        if (pid != 0x1FFF && last_[pid] >= 0 && counter != (payload ? (last_[pid] + 1) & 0xF : last_[pid]))
            ++tally_.continuityGaps;
        last_[pid] = static_cast<int16_t>(counter);
        if (pid == 0 && (p[1] & 0x40) && (p[3] & 0x30) == 0x10 && p[4] < 180) {
            const BYTE* section = p + 5 + p[4];
            const uint16_t id = static_cast<uint16_t>(section[3] << 8 | section[4]);
            tally_.lastPatTransportStream = id;
            if (!tally_.patAfterLastDiscontinuity) tally_.patAfterLastDiscontinuity = id;
        }
    }
    return S_OK;
}

Tally PacketCounter::Snapshot() {
    std::lock_guard lock(mutex_);
    return tally_;
}

void PacketCounter::Clear() {
    std::lock_guard lock(mutex_);
    tally_ = Tally{};
    lastInit_ = false;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction, int skip) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(&pins))) return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction && skip-- == 0) return pin;
    }
    return nullptr;
}

GrabberBranch AddGrabberBranch(IGraphBuilder* graph, const wchar_t* name) {
    GrabberBranch b;
    if (FAILED(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(b.grabber.GetAddressOf()))) ||
        FAILED(CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(b.renderer.GetAddressOf()))))
        throw std::runtime_error("no Sample Grabber or Null Renderer");
    ComPtr<ISampleGrabber> grabber;
    b.grabber.As(&grabber);
    AM_MEDIA_TYPE type{};
    type.majortype = tunersim::kMediaTypeStream;  // any subtype
    grabber->SetMediaType(&type);
    grabber->SetBufferSamples(FALSE);
    grabber->SetOneShot(FALSE);
    b.counter.Attach(new PacketCounter());
    grabber->SetCallback(b.counter.Get(), 0);
    const std::wstring renderer = std::wstring(name) + L" renderer";
    if (FAILED(graph->AddFilter(b.grabber.Get(), name)) || FAILED(graph->AddFilter(b.renderer.Get(), renderer.c_str())))
        throw std::runtime_error("the graph does not take the grabber");
    return b;
}

HRESULT ConnectRenderer(IGraphBuilder* graph, const GrabberBranch& branch) {
    return graph->ConnectDirect(FirstPin(branch.grabber.Get(), PINDIR_OUTPUT).Get(),
                                FirstPin(branch.renderer.Get(), PINDIR_INPUT).Get(), nullptr);
}

GrabberGraph::GrabberGraph() {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(graph_.GetAddressOf()))))
        throw std::runtime_error("no Filter Graph Manager");
    graph_.As(&control_);
    graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(events_.GetAddressOf()));
    GrabberBranch branch = AddGrabberBranch(graph_.Get(), L"Grabber");
    grabber_ = branch.grabber;
    renderer_ = branch.renderer;
    counter_ = branch.counter;
}

GrabberGraph::~GrabberGraph() {
    if (control_) control_->Stop();
    // Stop the callbacks before the counter goes (the grabber holds it anyway).
    ComPtr<ISampleGrabber> grabber;
    if (grabber_ && SUCCEEDED(grabber_.As(&grabber))) grabber->SetCallback(nullptr, 0);
}

HRESULT GrabberGraph::Add(IBaseFilter* filter, const wchar_t* name) { return graph_->AddFilter(filter, name); }

HRESULT GrabberGraph::ConnectToGrabber(IBaseFilter* from, bool direct) {
    ComPtr<IPin> out = FirstPin(from, PINDIR_OUTPUT);
    ComPtr<IPin> in = FirstPin(grabber_.Get(), PINDIR_INPUT);
    if (!out || !in) return VFW_E_NOT_FOUND;
    const HRESULT hr = direct ? graph_->ConnectDirect(out.Get(), in.Get(), nullptr) : graph_->Connect(out.Get(), in.Get());
    if (FAILED(hr)) return hr;
    // The grabber's output takes its type from its input: connected second.
    return ConnectRenderer(graph_.Get(), GrabberBranch{grabber_, renderer_, counter_});
}

HRESULT GrabberGraph::Run(bool measured) {
    if (!measured) return control_->Run();
    // The application picks the start, so that the counter knows the stream time of
    // each arrival: the graph paused, then run 10 ms after the clock's reading.
    ComPtr<IMediaFilter> media;
    ComPtr<IReferenceClock> clock;
    HRESULT hr = graph_.As(&media);
    if (SUCCEEDED(hr)) hr = control_->Pause();
    if (FAILED(hr)) return hr;
    if (FAILED(media->GetSyncSource(&clock)) || !clock) return control_->Run();
    REFERENCE_TIME now = 0;
    clock->GetTime(&now);
    const REFERENCE_TIME start = now + 100000;
    counter_->UseClock(clock.Get(), start);
    return media->Run(start);
}

HRESULT GrabberGraph::RunOrRefusal() {
    const HRESULT hr = control_->Run();
    if (FAILED(hr)) return hr;
    LONG_PTR why = 0;
    if (WaitForEvent(EC_ERRORABORT, 3000, &why)) return static_cast<HRESULT>(why);
    return hr;
}

HRESULT GrabberGraph::Stop() { return control_->Stop(); }

// Polled in short waits: Wine's GetEvent may return E_ABORT before its timeout.
bool GrabberGraph::WaitForEvent(long code, DWORD timeoutMs, LONG_PTR* first) {
    const DWORD start = GetTickCount();
    do {
        long got = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events_->GetEvent(&got, &p1, &p2, 50) != S_OK) {
            Sleep(10);
            continue;
        }
        ++seen_[got];
        events_->FreeEventParams(got, p1, p2);
        if (got == code) {
            if (first) *first = p1;
            return true;
        }
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

}  // namespace streamtest
