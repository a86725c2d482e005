// The simulated driver's side of the vendor property set: serves one request for one
// box against the shared state.
#pragma once

#include <windows.h>

#include <string>

#include "PropertyLogic.h"
#include "SharedLayout.h"

namespace tunersim {

// Counts a request for box `id`, notes what it carried and waits out an injected delay,
// for a request that is answered apart (the remote control's key read waits for its key
// without the state lock). False when the box is unknown.
bool AdmitRequest(const std::string& id, unsigned property, property::Direction direction,
                  const property::Request& request, layout::FaultSlot& fault);

// Count a request for box `id` and answer it under one hold of the state lock (an
// injected delay is waited without it); ERROR_DEVICE_NOT_CONNECTED when the box is unknown.
HRESULT ServeGet(const std::string& id, unsigned property, void* data, DWORD length,
                 DWORD* returned, DWORD instanceLength);
HRESULT ServeSet(const std::string& id, unsigned property, const void* data, DWORD length,
                 DWORD instanceLength);

}  // namespace tunersim
