// Registration of windows for the device-change messages.
#include "ExportGuard.h"

using namespace ombrel;

OMBREL_API unsigned long OMBREL_CALL OB_RegisterGeneralNotifications(HWND window) {
    return Guarded([&](Library& library) {
        library.Table().AddGeneralWindow(window);
        return OB_SUCCESS;
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_RegisterNotifications(unsigned long handle, HWND window) {
    return Guarded([&](Library& library) {
        return library.Table().WithHandle(handle, [&](DeviceEntry& entry, HandleRecord& record) {
            record.notifyWindow = window;
            entry.remote.WindowChanged(record.value, window);
            return OB_SUCCESS;
        });
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_UnregisterNotifications(unsigned long handle) {
    return Guarded([&](Library& library) {
        return library.Table().WithHandle(handle, [&](DeviceEntry& entry, HandleRecord& record) {
            record.notifyWindow = nullptr;
            entry.remote.WindowChanged(record.value, nullptr);
            return OB_SUCCESS;
        });
    });
}
