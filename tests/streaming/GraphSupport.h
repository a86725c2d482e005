// Graphs of stock DirectShow parts around the simulated filters, for the streaming tests,
// the stress run and the benchmark: Wine's Filter Graph Manager, a Sample Grabber whose
// callback tallies every packet, a Null Renderer, the Smart Tee.
#pragma once

#include <windows.h>
// dshow.h would otherwise bring strsafe.h, whose deprecation macros break the C library's names.
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace streamtest {

using Microsoft::WRL::ComPtr;

// qedit's classes, which mingw-w64's headers do not define.
inline constexpr GUID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
inline constexpr GUID kClsidNullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

// The system device enumerator's filter for a display name (null when it is not listed).
ComPtr<IBaseFilter> BindDisplayName(const std::string& displayName);

// What a grabber saw, summed up at one moment.
struct Tally {
    uint64_t samples = 0;
    uint64_t packets = 0;
    uint64_t badSamples = 0;        // not a whole number of packets, or no sync byte
    uint64_t discontinuities = 0;   // samples flagged
    uint64_t continuityGaps = 0;    // counter jumps on a PID outside a flagged sample
    uint64_t errors = 0;            // transport_error_indicator set
    uint64_t untimed = 0;           // samples without a time stamp
    std::map<uint16_t, uint64_t> payload, scrambled;  // packets with payload per PID
    uint16_t lastPatTransportStream = 0;              // of the last PAT section seen
    uint16_t patAfterLastDiscontinuity = 0;           // the first PAT after the last flag
    double latencyMsMax = 0, latencyMsSum = 0;        // stream time of arrival - sample's start
    uint64_t latencySamples = 0;
};

// An ISampleGrabberCB that checks and counts every packet of every sample, on the
// streaming thread. A static-lifetime-free COM object: the graph holds it.
class PacketCounter final : public ISampleGrabberCB {
public:
    PacketCounter() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    Tally Snapshot();
    void Clear();
    // The graph's clock and start, for the arrival latency (optional).
    void UseClock(IReferenceClock* clock, REFERENCE_TIME start);

private:
    ~PacketCounter() = default;
    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    Tally tally_;
    std::array<int16_t, 8192> last_{};  // last continuity counter per PID, -1: none yet
    bool lastInit_ = false;
    ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME start_ = 0;
};

// A graph: source filter -> Sample Grabber (MEDIATYPE_Stream) -> Null Renderer.
class GrabberGraph {
public:
    // Throws std::runtime_error when a stock part cannot be made.
    GrabberGraph();
    GrabberGraph(const GrabberGraph&) = delete;
    GrabberGraph& operator=(const GrabberGraph&) = delete;
    ~GrabberGraph();

    IGraphBuilder* Graph() { return graph_.Get(); }
    IMediaControl* Control() { return control_.Get(); }
    PacketCounter& Counter() { return *counter_.Get(); }
    IBaseFilter* Grabber() { return grabber_.Get(); }

    HRESULT Add(IBaseFilter* filter, const wchar_t* name);
    // Connects `from`'s first output pin to the grabber (intelligent Connect or
    // ConnectDirect), then the grabber to the renderer.
    HRESULT ConnectToGrabber(IBaseFilter* from, bool direct);
    // IMediaControl::Run; measured: paused, then run at a start the counter knows, so
    // that it measures each sample's latency against the graph's clock.
    HRESULT Run(bool measured = false);
    HRESULT Stop();
    // Run, and why the graph refused it: the failure Run returned, else the one an
    // EC_ERRORABORT brought within 3 s (graph managers that let a filter's failure pass
    // while a renderer's transition is pending), else what Run returned.
    HRESULT RunOrRefusal();
    // Waits for an event with this code (others are read and counted); false on timeout.
    bool WaitForEvent(long code, DWORD timeoutMs, LONG_PTR* first = nullptr);
    std::map<long, int> EventsSeen() const { return seen_; }

private:
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEventEx> events_;
    ComPtr<IBaseFilter> grabber_, renderer_;
    ComPtr<PacketCounter> counter_;
    std::map<long, int> seen_;
};

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction, int skip = 0);

// A grabber with its counter and a Null Renderer, added to `graph`; ConnectRenderer joins
// them once the grabber's input is connected (its output takes the input's type).
struct GrabberBranch {
    ComPtr<IBaseFilter> grabber, renderer;
    ComPtr<PacketCounter> counter;
};
GrabberBranch AddGrabberBranch(IGraphBuilder* graph, const wchar_t* name);
HRESULT ConnectRenderer(IGraphBuilder* graph, const GrabberBranch& branch);

}  // namespace streamtest
