// A tuner's transport stream through OmbrelStream's helper, owned: started with the
// object, stopped (its graph torn down) when the object goes or Stop is called.
#pragma once

#include <windows.h>

#include <OmbrelStream.h>

#include <string>

namespace ombrel_cli {

class TunerStream {
public:
    // Starts the stream of an open tuner handle; StartResult() says whether it runs.
    // COM must be initialised on this thread (OB_Initialize does it).
    TunerStream(unsigned long handle, OBS_PACKET_CALLBACK callback, void* context);
    ~TunerStream() { Stop(); }
    TunerStream(const TunerStream&) = delete;
    TunerStream& operator=(const TunerStream&) = delete;

    HRESULT StartResult() const { return started_; }
    bool Running() const { return stream_ != nullptr; }

    // How the stream ended; OBS_EVENT_NONE while it runs. Dispatches this thread's
    // window messages, as the graph's apartment needs.
    OBS_STREAM_EVENT Ended(HRESULT& reason);
    OBS_STATISTICS Statistics() const;
    // Stops the graph: the packets still waiting reach the callback on this thread before
    // it returns. The final figures; once stopped, the last ones again.
    OBS_STATISTICS Stop();

private:
    OBS_STREAM stream_ = nullptr;
    HRESULT started_ = E_FAIL;
    OBS_STATISTICS final_{};
};

// Waits for `wake` or `interrupt` (either may be null) at most `timeoutMs`, handling this
// thread's window messages meanwhile. True when `interrupt` was signalled.
bool WaitForPacketsOrInterrupt(HANDLE wake, HANDLE interrupt, DWORD timeoutMs);

// "0x80004005".
std::string HresultText(HRESULT code);

}  // namespace ombrel_cli
