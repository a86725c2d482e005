#pragma once

#include <cstdint>
#include <string>

namespace tunersim {

// Starts a thread that drives the side effects of an update run (see DriveUpdate).
// The thread keeps the DLL loaded until it ends.
void StartUpdateWorker(const std::string& id, uint32_t generation);

}  // namespace tunersim
