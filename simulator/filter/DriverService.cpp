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

// What an answer leaves to do once the lock is released: a run whose side effects
// this process now drives gets its worker.
struct Served {
    property::Answer answer;
    bool drive = false;
    uint32_t generation = 0;
};

// A request that must wait before it is answered waits without the lock.
bool WaitsUnlocked(const layout::FaultSlot& fault) { return fault.kind == kDelayFault; }

void WaitUnlocked(const layout::FaultSlot& fault) { Sleep(fault.delayMs); }

// Counts the request and answers it under one hold of the state lock. A request that
// must wait first lets go of the lock for the wait and takes it again for the answer.
template <class AnswerFn>
HRESULT Serve(const std::string& id, unsigned property, property::Direction direction,
              const property::Request& request, AnswerFn&& answer) {
    Served served;
    layout::FaultSlot fault{};
    bool answered = false;
    {
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device) return kNotConnected;
        fault = property::Admit(*device, property, direction, request);
        if (!WaitsUnlocked(fault)) {
            served = answer(*device, fault);
            answered = true;
        }
    }
    if (!answered) {
        WaitUnlocked(fault);
        StateLock lock = LockState();
        layout::DeviceRecord* device = lock.Find(id);
        if (!device) return kNotConnected;
        served = answer(*device, fault);
    }
    if (served.drive) StartUpdateWorker(id, served.generation);
    return ToHresult(served.answer.outcome);
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
    if (WaitsUnlocked(fault)) WaitUnlocked(fault);
    return true;
}

HRESULT ServeGet(const std::string& id, unsigned property, void* data, DWORD length,
                 DWORD* returned, DWORD instanceLength) {
    if (returned) *returned = 0;
    DWORD bytes = 0;
    const HRESULT hr = Serve(id, property, property::kGet, {nullptr, length, instanceLength},
                             [&](layout::DeviceRecord& device, const layout::FaultSlot& fault) {
        Served served;
        const int64_t now = NowMs();
        served.answer = property::Get(device, property, static_cast<uint8_t*>(data), length,
                                      fault, now);
        bytes = served.answer.bytes;
        // A run whose driving process is gone is taken over by whoever asks for its
        // status.
        if (property == kUpdateStatus && UpdateNeedsDriver(device, now)) {
            served.drive = true;
            served.generation = device.update.generation;
            device.update.workerPid = GetCurrentProcessId();
        }
        return served;
    });
    if (returned) *returned = bytes;
    return hr;
}

HRESULT ServeSet(const std::string& id, unsigned property, const void* data, DWORD length,
                 DWORD instanceLength) {
    return Serve(id, property, property::kSet, {data, length, instanceLength},
                 [&](layout::DeviceRecord& device, const layout::FaultSlot& fault) {
        Served served;
        const uint32_t before = device.update.generation;
        served.answer = property::Set(device, property, static_cast<const uint8_t*>(data),
                                      length, fault, NowMs(), TunerImageCheck());
        if (device.update.generation != before && update::NextDeadline(device.update)) {
            served.drive = true;
            served.generation = device.update.generation;
            device.update.workerPid = GetCurrentProcessId();
        }
        return served;
    });
}

}  // namespace tunersim
