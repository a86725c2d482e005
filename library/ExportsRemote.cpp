// Remote control: one reader thread per device turns the driver's key codes into
// OMBREL_MSG_REMOTE_KEY messages for the window of the handle that started it.
#include "ExportGuard.h"

#include <optional>

using namespace ombrel;

OMBREL_API unsigned long OMBREL_CALL OB_RemoteControl_Start(unsigned long handle) {
    return Guarded([&](Library& library) {
        return library.Table().WithHandle(handle, [&](DeviceEntry& entry, HandleRecord& record) {
            return entry.remote.Start(record, entry.displayName, &library.Shared());
        });
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_RemoteControl_Stop(unsigned long handle) {
    return Guarded([&](Library& library) {
        std::optional<PendingStop> stop;
        const unsigned long found = library.Table().WithHandle(handle, [&](DeviceEntry& entry, HandleRecord&) {
            stop = entry.remote.BeginStop(static_cast<std::uint32_t>(handle));
            return OB_SUCCESS;
        });
        if (found != OB_SUCCESS) return found;
        if (!stop) return OB_FAILED;  // no reader, or another handle's
        stop->Finish();               // waits for the thread: outside the table's lock
        return OB_SUCCESS;
    });
}
