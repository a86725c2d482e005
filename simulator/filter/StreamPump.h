// The streaming thread of an output pin that carries a box's transport stream, from the
// filter's Pause to its Stop. Every tick (15 ms) it reads the box's state (briefly, under
// the state lock), makes the packets that fell due since the stream started by the wall
// clock, and delivers them downstream in samples of whole packets: time-stamped by the
// graph's clock while running, flagged as a discontinuity after a start, a retune, a
// stretch without lock or anything lost. Paused, it delivers too: a renderer completes
// its pause on the first sample and holds it (the graph manager waits for that before it
// runs the graph), blocking the thread until the run. A box that goes away ends the
// stream: EndOfStream downstream and EC_DEVICE_LOST to the graph.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tunersim {

namespace stream {
class ClipLibrary;
}

struct PumpSetup {
    std::string id;
    Microsoft::WRL::ComPtr<IPin> peer;
    Microsoft::WRL::ComPtr<IMemInputPin> input;
    Microsoft::WRL::ComPtr<IMemAllocator> allocator;  // committed by the pin
    Microsoft::WRL::ComPtr<IReferenceClock> clock;    // may be null
    IMediaEventSink* events = nullptr;                // the graph's; valid while it runs the filter
    IUnknown* filter = nullptr;                       // EC_DEVICE_LOST's first parameter
    stream::ClipLibrary* clips = nullptr;
};

class StreamPump {
public:
    explicit StreamPump(PumpSetup setup);
    StreamPump(const StreamPump&) = delete;
    StreamPump& operator=(const StreamPump&) = delete;
    // Ends and joins the thread; the pin decommits its allocator first, so that a
    // thread waiting for a buffer is released.
    ~StreamPump();

    // Running: samples stamped with stream time, 0 at `start` of the graph's clock.
    // Paused: samples without time stamps.
    void Run(REFERENCE_TIME start);
    void Pause();
    void RequestStop();

private:
    void Loop();

    PumpSetup setup_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<REFERENCE_TIME> start_{0};
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace tunersim
