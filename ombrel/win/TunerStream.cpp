#include "TunerStream.h"

#include <cstdio>

namespace ombrel_cli {

TunerStream::TunerStream(unsigned long handle, OBS_PACKET_CALLBACK callback, void* context) {
    started_ = OBS_StartStream(handle, callback, context, &stream_);
    if (FAILED(started_)) stream_ = nullptr;
}

OBS_STREAM_EVENT TunerStream::Ended(HRESULT& reason) {
    reason = S_OK;
    if (!stream_) return OBS_EVENT_NONE;
    OBS_STREAM_EVENT event = OBS_EVENT_NONE;
    if (OBS_WaitStream(stream_, 0, &event, &reason) != S_OK) return OBS_EVENT_NONE;
    return event;
}

OBS_STATISTICS TunerStream::Statistics() const {
    if (!stream_) return final_;
    OBS_STATISTICS figures{};
    OBS_GetStreamStatistics(stream_, &figures);
    return figures;
}

OBS_STATISTICS TunerStream::Stop() {
    if (stream_) {
        OBS_StopStream(stream_, &final_);
        stream_ = nullptr;
    }
    return final_;
}

bool WaitForPacketsOrInterrupt(HANDLE wake, HANDLE interrupt, DWORD timeoutMs) {
    HANDLE handles[2];
    DWORD count = 0;
    if (interrupt) handles[count++] = interrupt;
    if (wake) handles[count++] = wake;
    const DWORD woken = MsgWaitForMultipleObjects(count, handles, FALSE, timeoutMs, QS_ALLINPUT);
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    // Handles come before messages, and the interrupt first among them.
    return interrupt && woken == WAIT_OBJECT_0;
}

std::string HresultText(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

}  // namespace ombrel_cli
