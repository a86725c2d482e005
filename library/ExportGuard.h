// Keeps failures inside the library: every export returns a code, nothing else.
#pragma once

#include "Library.h"

#include <OmbrelApi.h>

namespace ombrel {

template <class F>
unsigned long Guarded(F&& f) noexcept {
    try {
        if (!TheLibrary()) return OB_FAILED;
        return f(*TheLibrary());
    } catch (...) {
        return OB_FAILED;  // allocation failure is the only thing that throws
    }
}

// A driver request on the handle's own property interface, held by a reference of
// the call's own so that a concurrent close cannot free it.
template <class F>
unsigned long WithPropertySet(unsigned long handle, F&& request) noexcept {
    return Guarded([&](Library& library) -> unsigned long {
        ComPtr<IKsPropertySet> properties = library.Table().PropertySetOf(handle);
        if (!properties) return OB_INVALID_HANDLE;
        return request(properties.Get());
    });
}

}  // namespace ombrel
