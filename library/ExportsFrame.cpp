// Frame exports: start-up, counting, opening and closing, identity and strings.
#include "ExportGuard.h"

#include <OmbrelVersion.h>

#include <cstring>

using namespace ombrel;

namespace {

char g_apiVersion[] = OMBREL_API_VERSION_TEXT;

unsigned long CountOf(KindFilter filter, unsigned long* count) {
    return Guarded([&](Library& library) {
        *count = library.Table().Count(filter);
        return OB_SUCCESS;
    });
}

unsigned long OpenOf(KindFilter filter, unsigned long index, unsigned long* handle) {
    return Guarded([&](Library& library) { return library.Table().OpenByIndex(filter, index, handle); });
}

template <class F>
unsigned long OnEntry(unsigned long handle, F&& f) {
    return Guarded([&](Library& library) {
        return library.Table().WithHandle(handle, [&](DeviceEntry& entry, HandleRecord& record) {
            return f(entry, record);
        });
    });
}

void CopyText(const char* text, char* buffer) { std::memcpy(buffer, text, std::strlen(text) + 1); }

}  // namespace

OMBREL_API unsigned long OMBREL_CALL OB_Initialize() {
    return Guarded([](Library& library) { return library.Initialize(); });
}

OMBREL_API char* OMBREL_CALL OB_GetApiVersion() { return g_apiVersion; }

OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfDevices(unsigned long* count) {
    return CountOf(KindFilter::Any, count);
}
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfWDMDevices(unsigned long* count) {
    return CountOf(KindFilter::Wdm, count);
}
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfBDADevices(unsigned long* count) {
    return CountOf(KindFilter::Bda, count);
}

OMBREL_API unsigned long OMBREL_CALL OB_OpenDeviceHandle(unsigned long index, unsigned long* handle) {
    return OpenOf(KindFilter::Any, index, handle);
}
OMBREL_API unsigned long OMBREL_CALL OB_OpenWDMDeviceHandle(unsigned long index, unsigned long* handle) {
    return OpenOf(KindFilter::Wdm, index, handle);
}
OMBREL_API unsigned long OMBREL_CALL OB_OpenBDADeviceHandle(unsigned long index, unsigned long* handle) {
    return OpenOf(KindFilter::Bda, index, handle);
}

OMBREL_API unsigned long OMBREL_CALL OB_CloseDeviceHandle(unsigned long handle) {
    return Guarded([&](Library& library) { return library.Table().Close(handle); });
}

OMBREL_API int OMBREL_CALL OB_IsDeviceAttached(unsigned long handle) {
    int attached = 0;
    OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        attached = entry.attached;
        return OB_SUCCESS;
    });
    return attached;
}

OMBREL_API unsigned long OMBREL_CALL OB_GetTunerType(unsigned long handle, OMBREL_TUNER_TYPE* type) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        *type = entry.kind;
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetSubunitID(unsigned long handle, unsigned int* id) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        *id = static_cast<unsigned int>(entry.subunitId);
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetGUID(unsigned long handle, _OMBREL_GUID* guid) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        guid->GuidLow = GuidLow(entry.id.guid);
        guid->GuidHigh = GuidHigh(entry.id.guid);
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetGUIDString(unsigned long handle, char* buffer) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        CopyText(entry.id.guidString.data(), buffer);
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetDisplayString(unsigned long handle, char* buffer) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        CopyText(entry.displayName.c_str(), buffer);
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetDeviceString(unsigned long handle, char* buffer) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        CopyText(entry.deviceString.c_str(), buffer);
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetFriendlyString(unsigned long handle, char** text) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord&) {
        // The entry's own text: entries and their names live as long as the library.
        *text = entry.friendlyName.data();
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetDirectShowFilter(unsigned long handle, IBaseFilter** filter) {
    return OnEntry(handle, [&](DeviceEntry&, HandleRecord& record) {
        *filter = record.tunerFilter.Get();  // lent until the handle is closed
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_GetReceiverDirectShowFilter(unsigned long handle, IBaseFilter** filter) {
    return OnEntry(handle, [&](DeviceEntry& entry, HandleRecord& record) {
        *filter = record.receiverFilter.Get();
        return entry.kind == OMBREL_TUNER_TYPE_BDA ? OB_SUCCESS : OB_FAILED;
    });
}
