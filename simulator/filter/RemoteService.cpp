#include "RemoteService.h"

#include <cstring>

#include "DriverService.h"
#include "KeyWake.h"
#include "PropertyLogic.h"
#include "RemoteKeys.h"
#include "SharedState.h"
#include "TunerSimControl.h"

namespace tunersim {
namespace {

const HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
// What a released read answers: its request was cancelled.
const HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_OPERATION_ABORTED);
// A waiting read looks at the record at least this often, woken or not.
constexpr DWORD kLookAgainMs = 200;

bool Is(const layout::FaultSlot& fault, FaultKind kind) { return fault.kind == static_cast<uint32_t>(kind); }

// The failures injected through the generic fault slots; S_OK when none applies.
HRESULT InjectedFailure(const layout::FaultSlot& fault) {
    if (Is(fault, FaultKind::Fail)) return E_FAIL;
    if (Is(fault, FaultKind::False)) return S_FALSE;
    return S_OK;
}

}  // namespace

HRESULT ServeKeyRead(const std::string& id, void* data, DWORD length, DWORD* returned,
                     DWORD instanceLength) {
    if (returned) *returned = 0;
    layout::FaultSlot fault{};
    if (!AdmitRequest(id, remote::kKeyProperty, property::kGet, {nullptr, length, instanceLength}, fault))
        return kNotConnected;
    if (const HRESULT failure = InjectedFailure(fault); failure != S_OK) return failure;
    if (length != remote::kKeyLength) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    if (!data) return E_POINTER;

    const KeyWake wake(id);
    remote::Read read;
    for (;;) {
        uint16_t key = 0;
        remote::Step step;
        {
            StateLock lock = LockState();
            layout::DeviceRecord* device = lock.Find(id);
            if (!device) return kNotConnected;
            step = remote::Look(*device, read, key);
        }
        switch (step) {
        case remote::Step::Key: {
            // Byte 0 the remote's address, byte 1 the command: the code's high byte first.
            const uint8_t bytes[remote::kKeyLength] = {static_cast<uint8_t>(key >> 8),
                                                       static_cast<uint8_t>(key & 0xFF)};
            const DWORD answered = Is(fault, FaultKind::Short) && fault.bytes < remote::kKeyLength
                                       ? fault.bytes
                                       : remote::kKeyLength;
            std::memcpy(data, bytes, answered);
            if (returned) *returned = answered;
            return S_OK;
        }
        case remote::Step::Released: return kCancelled;
        case remote::Step::Failed: return E_FAIL;
        case remote::Step::Unplugged: return kNotConnected;
        case remote::Step::Wait: break;
        }
        wake.Wait(kLookAgainMs);
    }
}

HRESULT ServeCancel(const std::string& id, const void* instance, DWORD instanceLength, const void* data,
                    DWORD length) {
    layout::FaultSlot fault{};
    if (!AdmitRequest(id, remote::kCancelProperty, property::kSet, {data, length, instanceLength}, fault))
        return kNotConnected;
    if (const HRESULT failure = InjectedFailure(fault); failure != S_OK) return failure;

    const bool withoutBuffers = !instance && instanceLength == 0 && !data && length == 0;
    remote::CancelOutcome outcome;
    uint32_t waiting = 0;
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device || !device->plugged) return kNotConnected;
        outcome = remote::Cancel(device->remote, withoutBuffers);
        waiting = device->remote.waitingReads;
    }
    if (outcome == remote::CancelOutcome::Rejected) return E_INVALIDARG;
    if (outcome == remote::CancelOutcome::Taken) KeyWake(id).Wake(waiting);
    return S_OK;
}

}  // namespace tunersim
