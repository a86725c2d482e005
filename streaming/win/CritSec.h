// A Win32 critical section and its scoped hold: the stream library uses no C++ thread
// library, so that programs of either MinGW-w64 thread model link it.
#pragma once

#include <windows.h>

namespace ombrel::stream {

class CritSec {
public:
    CritSec() { InitializeCriticalSection(&section_); }
    ~CritSec() { DeleteCriticalSection(&section_); }
    CritSec(const CritSec&) = delete;
    CritSec& operator=(const CritSec&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Hold {
public:
    explicit Hold(CritSec& lock) : lock_(lock) { lock_.Enter(); }
    ~Hold() { lock_.Leave(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    CritSec& lock_;
};

}  // namespace ombrel::stream
