// The simulated driver's side of the vendor property set: serves one request for one
// box against the shared state.
#pragma once

#include <windows.h>

#include <string>

#include "SharedLayout.h"

namespace tunersim {

HRESULT ServeGet(const std::string& id, unsigned property, void* data, DWORD length,
                 DWORD* returned, DWORD instanceLength);
HRESULT ServeSet(const std::string& id, unsigned property, const void* data, DWORD length,
                 DWORD instanceLength);

}  // namespace tunersim
