// Shared by the control units: the record of a known device, under the state lock.
#pragma once

#include <string>

#include "SharedState.h"

namespace tunersim {

// Throws Error for a malformed or unknown id.
layout::DeviceRecord& Known(StateLock& lock, const std::string& id);

}  // namespace tunersim
