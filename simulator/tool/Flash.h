// Sending a firmware image to a simulated box the way the library does: through the
// system device enumerator, the bound filter and a set of property 17.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tunersim {

// Binds the box's tuner filter (WDM first, else BDA tuner) and sets property 17 with
// the file's first 368754 bytes. Requires COM. Throws tunersim::Error.
void FlashFile(const std::string& id, const std::string& path);

// One get of property 18 through the bound filter; nullopt when it fails.
std::optional<std::array<uint8_t, 3>> ReadUpdateStatus(const std::string& id);

}  // namespace tunersim
