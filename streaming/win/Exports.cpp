// The library's functions (OmbrelStream.h): every failure, an exception included,
// leaves them as an HRESULT.
#include <OmbrelStream.h>

#include <vfwmsgs.h>

#include <memory>
#include <new>

#include "StreamGraph.h"
#include "TsSink.h"

// What an OBS_STREAM points at.
struct OBS_STREAM_OBJECT {
    std::unique_ptr<ombrel::stream::StreamGraph> graph;
};

namespace {

using namespace ombrel::stream;
using Microsoft::WRL::ComPtr;

template <class F>
HRESULT Guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The handle's filters, with references of the stream's own: the library lends them.
HRESULT SourceOf(unsigned long handle, StreamSource& source) {
    OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_WDM;
    if (OB_GetTunerType(handle, &type) != OB_SUCCESS) return E_HANDLE;
    IBaseFilter* tuner = nullptr;
    if (OB_GetDirectShowFilter(handle, &tuner) != OB_SUCCESS) return E_HANDLE;
    if (!tuner) return VFW_E_NOT_FOUND;
    source.tuner = tuner;
    if (type == OMBREL_TUNER_TYPE_BDA) {
        IBaseFilter* receiver = nullptr;
        if (OB_GetReceiverDirectShowFilter(handle, &receiver) != OB_SUCCESS || !receiver) return VFW_E_NOT_FOUND;
        source.receiver = receiver;
    }
    if (!OB_IsDeviceAttached(handle)) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    source.present = [handle] { return OB_IsDeviceAttached(handle) != 0; };
    return S_OK;
}

}  // namespace

HRESULT OMBREL_CALL OBS_CreateSink(OBS_PACKET_CALLBACK callback, void* context, IBaseFilter** sink) {
    return Guarded([&] { return TsSink::Create(callback, context, sink); });
}

HRESULT OMBREL_CALL OBS_GetSinkStatistics(IBaseFilter* sink, OBS_STATISTICS* statistics) {
    return Guarded([&]() -> HRESULT {
        if (!sink || !statistics) return E_POINTER;
        ComPtr<ISinkStatistics> figures;
        const HRESULT hr = sink->QueryInterface(kIidSinkStatistics, reinterpret_cast<void**>(figures.GetAddressOf()));
        if (FAILED(hr)) return E_NOINTERFACE;
        return figures->GetStatistics(statistics);
    });
}

HRESULT OMBREL_CALL OBS_StartStream(unsigned long handle, OBS_PACKET_CALLBACK callback, void* context,
                                    OBS_STREAM* stream) {
    return Guarded([&]() -> HRESULT {
        if (!stream) return E_POINTER;
        *stream = nullptr;
        if (!callback) return E_POINTER;
        StreamSource source;
        HRESULT hr = SourceOf(handle, source);
        if (FAILED(hr)) return hr;
        auto made = std::make_unique<OBS_STREAM_OBJECT>();
        hr = StreamGraph::Start(std::move(source), callback, context, made->graph);
        if (FAILED(hr)) return hr;
        *stream = made.release();
        return S_OK;
    });
}

HRESULT OMBREL_CALL OBS_WaitStream(OBS_STREAM stream, DWORD timeoutMs, OBS_STREAM_EVENT* event, HRESULT* reason) {
    return Guarded([&]() -> HRESULT {
        if (!stream || !event) return E_POINTER;
        HRESULT why = S_OK;
        const HRESULT hr = stream->graph->Wait(timeoutMs, *event, why);
        if (reason) *reason = why;
        return hr;
    });
}

HRESULT OMBREL_CALL OBS_GetStreamStatistics(OBS_STREAM stream, OBS_STATISTICS* statistics) {
    return Guarded([&]() -> HRESULT {
        if (!stream || !statistics) return E_POINTER;
        return stream->graph->Statistics(*statistics);
    });
}

HRESULT OMBREL_CALL OBS_StopStream(OBS_STREAM stream, OBS_STATISTICS* statistics) {
    return Guarded([&]() -> HRESULT {
        const std::unique_ptr<OBS_STREAM_OBJECT> owned(stream);
        if (!owned) return S_OK;
        const HRESULT hr = owned->graph->Stop();
        if (statistics) owned->graph->Statistics(*statistics);
        return hr;
    });
}
