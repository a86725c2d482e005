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
        return library.Table().SetNotifyWindow(handle, window);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_UnregisterNotifications(unsigned long handle) {
    return Guarded([&](Library& library) {
        return library.Table().SetNotifyWindow(handle, nullptr);
    });
}
