// A box's stream taken by one running graph: a named kernel object held while the graph
// is active, so that a second graph on the same box (in any process) is refused, and a
// process that dies gives the box back with its handles.
#pragma once

#include <windows.h>

#include <string>

namespace tunersim {

class StreamHold {
public:
    StreamHold() = default;
    StreamHold(const StreamHold&) = delete;
    StreamHold& operator=(const StreamHold&) = delete;
    ~StreamHold() { Release(); }

    // S_OK, or kStreamInUse while another holder has the box's stream.
    HRESULT Take(const std::string& id);
    void Release();
    bool Held() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace tunersim
