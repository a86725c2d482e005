// A running graph from a tuner's filters to a transport-stream sink: built and run in
// the Filter Graph Manager, its end taken from the graph's events, torn down again so
// that the tuner's filters can go into another graph.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <wrl/client.h>

#include <functional>
#include <memory>

#include <OmbrelStream.h>

namespace ombrel::stream {

// The filters a stream comes from.
struct StreamSource {
    Microsoft::WRL::ComPtr<IBaseFilter> tuner;     // WDM capture filter or BDA network tuner
    Microsoft::WRL::ComPtr<IBaseFilter> receiver;  // BDA: the receiver component; else null
    // Whether the tuner is still there (a device can go without its filter saying so);
    // empty: only the graph's events tell.
    std::function<bool()> present;
};

class StreamGraph {
public:
    // Builds (tuner -> [receiver ->] sink) and runs it; on failure nothing stays in a graph.
    static HRESULT Start(StreamSource source, OBS_PACKET_CALLBACK callback, void* context,
                         std::unique_ptr<StreamGraph>& graph);
    StreamGraph() = default;  // empty: Start fills it
    ~StreamGraph();
    StreamGraph(const StreamGraph&) = delete;
    StreamGraph& operator=(const StreamGraph&) = delete;

    // See OBS_WaitStream.
    HRESULT Wait(DWORD timeoutMs, OBS_STREAM_EVENT& event, HRESULT& reason);
    HRESULT Statistics(OBS_STATISTICS& statistics) const;
    // Stops the graph and takes every filter out of it; later calls do nothing.
    HRESULT Stop();

private:
    HRESULT Build(OBS_PACKET_CALLBACK callback, void* context);
    // Takes the queued events; keeps the weightiest end seen.
    void TakeEvents();
    void Settle(HANDLE events);
    HANDLE EventHandle() const;

    StreamSource source_;
    Microsoft::WRL::ComPtr<IGraphBuilder> graph_;
    Microsoft::WRL::ComPtr<IMediaControl> control_;
    Microsoft::WRL::ComPtr<IMediaEvent> events_;
    Microsoft::WRL::ComPtr<IBaseFilter> sink_;
    bool stopped_ = false;
    bool ended_ = false;
    OBS_STREAM_EVENT event_ = OBS_EVENT_NONE;
    HRESULT reason_ = S_OK;
};

}  // namespace ombrel::stream
