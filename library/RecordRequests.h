// Exports that pass a caller's record to the driver in place: one set or get of the
// record's own length. A null record reaches neither the driver nor the copy.
#pragma once

#include "ExportGuard.h"
#include "PropertyChannel.h"

namespace ombrel {

template <class Record>
unsigned long SetRecord(unsigned long handle, unsigned long property, Record* record) noexcept {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        if (!record) return OB_INVALID_PARAMETER;
        return SetProperty(properties, property, record, sizeof(Record));
    });
}

template <class Record>
unsigned long GetRecord(unsigned long handle, unsigned long property, Record* record) noexcept {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        if (!record) return OB_INVALID_PARAMETER;
        return GetProperty(properties, property, record, sizeof(Record));
    });
}

}  // namespace ombrel
