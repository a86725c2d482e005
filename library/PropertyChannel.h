// The two requests through which everything reaches the driver: a set or a get of
// one property of the vendor property set on the tuner filter.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace ombrel {

extern const GUID kOmbrelPropertySet;

// OB_SUCCESS when the driver answered S_OK, OB_FAILED for anything else (S_FALSE
// included). The instance buffer has the data's length and is zero-filled; a
// length of 0 passes no buffers at all.
unsigned long SetProperty(IKsPropertySet* properties, unsigned long property, void* data, unsigned long length);
unsigned long GetProperty(IKsPropertySet* properties, unsigned long property, void* data, unsigned long length);

}  // namespace ombrel
