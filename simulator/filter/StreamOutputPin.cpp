#include "StreamOutputPin.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "ClipSource.h"
#include "StreamPacing.h"

namespace tunersim {

using Microsoft::WRL::ComPtr;

namespace {

// AMPROPSETID_Pin {9B00F101-1567-11D1-B3F1-00AA003761C5}, PIN_CATEGORY_CAPTURE
// {FB6C4281-0353-11D1-905F-0000C0CC16BA}
constexpr GUID kPinPropertySet = {0x9B00F101, 0x1567, 0x11D1, {0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
constexpr GUID kCaptureCategory = {0xFB6C4281, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
constexpr DWORD kPinCategory = 0;  // AMPROPERTY_PIN_CATEGORY

}  // namespace

StreamOutputPin::StreamOutputPin(PinOwner& owner, const wchar_t* id, bool capture)
    : PinBase(owner, id, PINDIR_OUTPUT), capture_(capture) {}

StreamOutputPin::~StreamOutputPin() { Deactivate(); }

HRESULT StreamOutputPin::QueryMore(REFIID riid, void** object) {
    if (riid == IID_IKsPropertySet) {
        *object = static_cast<IKsPropertySet*>(this);
        AddRef();
        return S_OK;
    }
    return PinBase::QueryMore(riid, object);
}

STDMETHODIMP StreamOutputPin::Set(REFGUID set, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return set == kPinPropertySet && capture_ ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP StreamOutputPin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataLength,
                                  DWORD* returned) {
    if (returned) *returned = 0;
    if (set != kPinPropertySet || !capture_) return E_PROP_SET_UNSUPPORTED;
    if (id != kPinCategory) return E_PROP_ID_UNSUPPORTED;
    if (!data) return E_POINTER;
    if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = kCaptureCategory;
    if (returned) *returned = sizeof(GUID);
    return S_OK;
}

STDMETHODIMP StreamOutputPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (set != kPinPropertySet || !capture_) return E_PROP_SET_UNSUPPORTED;
    if (id != kPinCategory) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

HRESULT StreamOutputPin::CompleteConnect(IPin* peer) {
    ComPtr<IMemInputPin> input;
    if (FAILED(peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(input.GetAddressOf()))))
        return E_NOINTERFACE;
    const HRESULT hr = DecideAllocator(input.Get());
    if (FAILED(hr)) return hr;
    input_ = input;
    return S_OK;
}

void StreamOutputPin::BreakConnect() {
    input_.Reset();
    allocator_.Reset();
}

// Buffers of whole packets: the downstream filter's allocator when it offers one and
// takes our properties, else our own (the system's memory allocator).
HRESULT StreamOutputPin::DecideAllocator(IMemInputPin* input) {
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);
    const pacing::BufferPlan plan = pacing::PlanBuffers(wanted.cBuffers, wanted.cbBuffer);
    ALLOCATOR_PROPERTIES ask{};
    ask.cBuffers = plan.count;
    ask.cbBuffer = plan.bytes;
    ask.cbAlign = wanted.cbAlign > 0 ? wanted.cbAlign : 1;
    ask.cbPrefix = wanted.cbPrefix;

    auto tryAllocator = [&](IMemAllocator* allocator) {
        ALLOCATOR_PROPERTIES actual{};
        if (FAILED(allocator->SetProperties(&ask, &actual))) return false;
        if (pacing::PacketsPerBuffer(actual.cbBuffer) == 0) return false;
        if (FAILED(input->NotifyAllocator(allocator, FALSE))) return false;
        allocator_ = allocator;
        return true;
    };
    ComPtr<IMemAllocator> theirs;
    if (SUCCEEDED(input->GetAllocator(&theirs)) && theirs && tryAllocator(theirs.Get())) return S_OK;
    ComPtr<IMemAllocator> ours;
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(ours.GetAddressOf()));
    if (FAILED(hr)) return hr;
    return tryAllocator(ours.Get()) ? S_OK : VFW_E_NO_ALLOCATOR;
}

HRESULT StreamOutputPin::Activate(IReferenceClock* clock, IMediaEventSink* events) {
    if (!allocator_ || !input_) return S_OK;  // not connected: nothing to stream
    if (pump_) return S_OK;
    PumpSetup setup;
    setup.id = owner_.Box().id;
    setup.peer = Peer();
    setup.input = input_;
    setup.allocator = allocator_;
    setup.clock = clock;
    setup.events = events;
    setup.filter = owner_.Filter();
    try {
        setup.clips = &SharedClips();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return VFW_E_RUNTIME_ERROR;  // no content folder beside the filter
    }
    HRESULT hr = allocator_->Commit();
    if (FAILED(hr)) return hr;
    try {
        pump_ = std::make_unique<StreamPump>(std::move(setup));
    } catch (...) {
        allocator_->Decommit();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void StreamOutputPin::Run(REFERENCE_TIME start) {
    if (pump_) pump_->Run(start);
}

void StreamOutputPin::Pause() {
    if (pump_) pump_->Pause();
}

void StreamOutputPin::Deactivate() {
    if (pump_) pump_->RequestStop();
    // Releases a thread that waits for a free buffer before it is joined.
    if (allocator_) allocator_->Decommit();
    pump_.reset();
}

}  // namespace tunersim
