#include "PushSource.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>

#include "ComEnumerators.h"

namespace streamtest {
namespace {

using Microsoft::WRL::ComPtr;

// {5A1C0F3E-22B4-4D8A-9C6E-0B7D3E2F1A44}
constexpr CLSID kClsidPushSource = {0x5A1C0F3E, 0x22B4, 0x4D8A, {0x9C, 0x6E, 0x0B, 0x7D, 0x3E, 0x2F, 0x1A, 0x44}};

}  // namespace

class PushSource::OutputPin final : public IPin {
public:
    explicit OutputPin(PushSource& filter) : filter_(filter) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin)) {
            *object = static_cast<IPin*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return filter_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return filter_.Release(); }

    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE*) override {
        if (peer_) return VFW_E_ALREADY_CONNECTED;
        const AM_MEDIA_TYPE type = Type();
        HRESULT hr = receiver->ReceiveConnection(this, &type);
        if (FAILED(hr)) return hr;
        ComPtr<IMemInputPin> input;
        hr = receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(input.GetAddressOf()));
        ComPtr<IMemAllocator> allocator;
        if (SUCCEEDED(hr) && FAILED(input->GetAllocator(allocator.GetAddressOf())))
            hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(allocator.GetAddressOf()));
        std::size_t largest = 1;
        for (const auto& s : filter_.script_.samples) largest = std::max(largest, s.bytes.size());
        ALLOCATOR_PROPERTIES wanted{4, static_cast<long>(largest), 1, 0}, got{};
        if (SUCCEEDED(hr)) hr = allocator->SetProperties(&wanted, &got);
        if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator.Get(), FALSE);
        if (FAILED(hr)) {
            receiver->Disconnect();
            return hr;
        }
        peer_ = receiver;
        input_ = input;
        allocator_ = allocator;
        return S_OK;
    }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override {
        if (!peer_) return S_FALSE;
        peer_.Reset();
        input_.Reset();
        allocator_.Reset();
        return S_OK;
    }
    STDMETHODIMP ConnectedTo(IPin** pin) override {
        *pin = peer_.Get();
        if (!*pin) return VFW_E_NOT_CONNECTED;
        (*pin)->AddRef();
        return S_OK;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override {
        if (!peer_) return VFW_E_NOT_CONNECTED;
        *type = Type();
        return S_OK;
    }
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override {
        *info = PIN_INFO{};
        info->pFilter = &filter_;
        filter_.AddRef();
        info->dir = PINDIR_OUTPUT;
        std::wcscpy(info->achName, L"Out");
        return S_OK;
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override {
        *direction = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR* id) override {
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof L"Out"));
        std::memcpy(*id, L"Out", sizeof L"Out");
        return S_OK;
    }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    AM_MEDIA_TYPE Type() const {
        AM_MEDIA_TYPE type{};
        type.majortype = filter_.script_.majortype;
        type.subtype = filter_.script_.subtype;
        type.lSampleSize = 1;
        return type;
    }

    PushSource& filter_;
    ComPtr<IPin> peer_;
    ComPtr<IMemInputPin> input_;
    ComPtr<IMemAllocator> allocator_;
};

ComPtr<PushSource> PushSource::Make(Script script) {
    ComPtr<PushSource> made;
    made.Attach(new PushSource(std::move(script)));
    return made;
}

PushSource::PushSource(Script script) : script_(std::move(script)), pin_(std::make_unique<OutputPin>(*this)) {
    if (IsEqualGUID(script_.majortype, GUID_NULL)) script_.majortype = MEDIATYPE_Stream;
}

PushSource::~PushSource() { StopThread(); }

IPin* PushSource::Pin() { return pin_.get(); }

std::vector<HRESULT> PushSource::Results() {
    std::lock_guard<std::mutex> lock(mutex_);
    return results_;
}

bool PushSource::WaitPushed(DWORD ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return pushed_; });
}

STDMETHODIMP PushSource::QueryInterface(REFIID riid, void** object) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IMediaFilter) ||
        IsEqualIID(riid, IID_IBaseFilter)) {
        *object = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PushSource::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) PushSource::Release() {
    const ULONG left = --references_;
    if (!left) delete this;
    return left;
}

STDMETHODIMP PushSource::GetClassID(CLSID* clsid) {
    *clsid = kClsidPushSource;
    return S_OK;
}

void PushSource::StopThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

STDMETHODIMP PushSource::Stop() {
    StopThread();
    if (pin_->allocator_) pin_->allocator_->Decommit();
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP PushSource::Pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == State_Stopped && pin_->allocator_) pin_->allocator_->Commit();
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP PushSource::Run(REFERENCE_TIME) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State_Running && !thread_.joinable() && pin_->input_) {
        stopping_ = false;
        pushed_ = false;
        thread_ = std::thread([this] { Push(); });
    }
    state_ = State_Running;
    return S_OK;
}

void PushSource::Push() {
    for (const Sample& s : script_.samples) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) break;
        }
        ComPtr<IMediaSample> sample;
        HRESULT hr = pin_->allocator_->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0);
        if (SUCCEEDED(hr)) {
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            if (!s.bytes.empty()) std::memcpy(data, s.bytes.data(), s.bytes.size());
            sample->SetActualDataLength(static_cast<long>(s.bytes.size()));
            sample->SetDiscontinuity(s.discontinuity ? TRUE : FALSE);
            hr = pin_->input_->Receive(sample.Get());
        }
        std::lock_guard<std::mutex> lock(mutex_);
        results_.push_back(hr);
    }
    switch (script_.ending) {
    case Ending::EndOfStream: pin_->peer_->EndOfStream(); break;
    case Ending::EndThenDeviceLost:
        pin_->peer_->EndOfStream();
        Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
        break;
    case Ending::DeviceLost: Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0); break;
    case Ending::ErrorAbort: Notify(EC_ERRORABORT, script_.error, 0); break;
    case Ending::Nothing: break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pushed_ = true;
    changed_.notify_all();
}

void PushSource::Notify(long code, LONG_PTR param1, LONG_PTR param2) {
    ComPtr<IMediaEventSink> events;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!graph_) return;
        graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()));
    }
    if (events) events->Notify(code, param1, param2);
}

STDMETHODIMP PushSource::GetState(DWORD, FILTER_STATE* state) {
    std::lock_guard<std::mutex> lock(mutex_);
    *state = state_;
    return S_OK;
}

STDMETHODIMP PushSource::SetSyncSource(IReferenceClock*) { return S_OK; }

STDMETHODIMP PushSource::GetSyncSource(IReferenceClock** clock) {
    *clock = nullptr;
    return S_OK;
}

STDMETHODIMP PushSource::EnumPins(IEnumPins** pins) {
    return dshow::MakePinEnumerator({ComPtr<IPin>(pin_.get())}, pins);
}

STDMETHODIMP PushSource::FindPin(LPCWSTR, IPin** pin) {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP PushSource::QueryFilterInfo(FILTER_INFO* info) {
    std::lock_guard<std::mutex> lock(mutex_);
    *info = FILTER_INFO{};
    std::wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP PushSource::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    std::lock_guard<std::mutex> lock(mutex_);
    graph_ = graph;
    name_ = name ? name : L"";
    return S_OK;
}

STDMETHODIMP PushSource::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

}  // namespace streamtest
