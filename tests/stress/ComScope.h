// COM on the calling thread for the scope's life: a single-threaded apartment, as the
// library's callers and Romflux have.
#pragma once

#include <objbase.h>

namespace stress {

class ComScope {
public:
    ComScope() : hr_(CoInitialize(nullptr)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

private:
    HRESULT hr_;
};

}  // namespace stress
