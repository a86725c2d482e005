#include "DriverService.h"

#include <vfwmsgs.h>

#include "FirmwareCheck.h"
#include "Lifecycle.h"
#include "PropertyLogic.h"
#include "SharedState.h"
#include "UpdateLogic.h"
#include "UpdateWorker.h"

namespace tunersim {

namespace {

const HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
constexpr uint32_t kDelayFault = 4;
constexpr unsigned kUpdateStatus = 18;

HRESULT ToHresult(property::Outcome outcome) {
    using property::Outcome;
    switch (outcome) {
    case Outcome::Ok: return S_OK;
    case Outcome::False: return S_FALSE;
    case Outcome::Fail: return E_FAIL;
    case Outcome::BadLength: return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    case Outcome::BadBuffer: return E_POINTER;
    case Outcome::Unsupported: return E_PROP_ID_UNSUPPORTED;
    case Outcome::Unplugged: return kNotConnected;
    case Outcome::NoStatus: return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    case Outcome::Rejected: return E_INVALIDARG;
    }
    return E_UNEXPECTED;
}

}  // namespace

bool AdmitRequest(const std::string& id, unsigned property, property::Direction direction,
                  const property::Request& request, layout::FaultSlot& fault) {
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device) return false;
        fault = property::Admit(*device, property, direction, request);
    }
    if (fault.kind == kDelayFault) Sleep(fault.delayMs);
    return true;
}

HRESULT ServeGet(const std::string& id, unsigned property, void* data, DWORD length,
                 DWORD* returned, DWORD instanceLength) {
    if (returned) *returned = 0;
    layout::FaultSlot fault{};
    if (!AdmitRequest(id, property, property::kGet, {nullptr, length, instanceLength}, fault))
        return kNotConnected;
    property::Answer answer;
    bool drive = false;
    uint32_t generation = 0;
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device) return kNotConnected;
        const int64_t now = NowMs();
        answer = property::Get(*device, property, static_cast<uint8_t*>(data), length, fault,
                               now);
        // A run whose driving process is gone is taken over by whoever asks for its
        // status.
        if (property == kUpdateStatus && UpdateNeedsDriver(*device, now)) {
            drive = true;
            generation = device->update.generation;
            device->update.workerPid = GetCurrentProcessId();
        }
    }
    if (drive) StartUpdateWorker(id, generation);
    if (returned) *returned = answer.bytes;
    return ToHresult(answer.outcome);
}

HRESULT ServeSet(const std::string& id, unsigned property, const void* data, DWORD length,
                 DWORD instanceLength) {
    layout::FaultSlot fault{};
    if (!AdmitRequest(id, property, property::kSet, {data, length, instanceLength}, fault))
        return kNotConnected;
    property::Answer answer;
    bool drive = false;
    uint32_t generation = 0;
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device) return kNotConnected;
        const uint32_t before = device->update.generation;
        answer = property::Set(*device, property, static_cast<const uint8_t*>(data), length,
                               fault, NowMs(), TunerImageCheck());
        if (device->update.generation != before && update::NextDeadline(device->update)) {
            drive = true;
            generation = device->update.generation;
            device->update.workerPid = GetCurrentProcessId();
        }
    }
    if (drive) StartUpdateWorker(id, generation);
    return ToHresult(answer.outcome);
}

}  // namespace tunersim
