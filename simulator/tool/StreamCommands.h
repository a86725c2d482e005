// tunersim ts and tunersim services: what the boxes emit and what the sky carries.
#pragma once

#include <optional>
#include <string>

namespace tunersim {

// Writes `seconds` of what box `id` emits now to `path`; prints what it wrote. Returns
// 0, or 1 when the box emits nothing (the file is then empty) or the file fails.
int WriteStream(const std::string& id, double seconds, const std::string& path);

// The services of every multiplex, or of the one box `id` receives now.
int PrintServices(const std::optional<std::string>& id);

}  // namespace tunersim
