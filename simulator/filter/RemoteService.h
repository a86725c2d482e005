// The simulated driver's remote control: a get of property 26 waits, without the state
// lock, until a key arrives for the box or a cancel (a set of property 27) releases it.
#pragma once

#include <windows.h>

#include <string>

namespace tunersim {

HRESULT ServeKeyRead(const std::string& id, void* data, DWORD length, DWORD* returned,
                     DWORD instanceLength);
// The cancel comes with no buffers at all; anything else is rejected and counted.
HRESULT ServeCancel(const std::string& id, const void* instance, DWORD instanceLength, const void* data,
                    DWORD length);

}  // namespace tunersim
