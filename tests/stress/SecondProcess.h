// The second process of a run, seen from the first: started, told when the storm is half
// way and when it is over, and read back into the report; and the named events through
// which that happens.
#pragma once

#include <windows.h>

#include <string>

#include "ChildProcess.h"
#include "StormReport.h"
#include "StressOptions.h"

namespace stress {

// A named event through which the first process tells the second one how far the
// storm has come.
class Event {
public:
    enum Mode { Create, Open };
    Event(const std::wstring& name, Mode mode);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() { CloseHandle(handle_); }
    void Set() { SetEvent(handle_); }
    bool IsSet() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

private:
    HANDLE handle_;
};

std::wstring Widen(const std::string& text);

class SecondProcess {
public:
    // Starts this program as the worker of `options.run`'s storm.
    explicit SecondProcess(const Options& options);

    // The stem of the names both processes share (events, the census).
    const std::string& Stem() const { return events_; }
    bool WaitReady(DWORD timeoutMs);
    void Middle() { middle_.Set(); }
    // Tells it to stop and reads what it found into the report.
    void Finish(int cycles, DWORD timeoutMs, StormReport& report);

private:
    std::string events_;
    Event middle_, stop_;
    ChildProcess child_;
};

// The stem for a first process's names: the same for its second process.
std::string RunStem();

}  // namespace stress
