// An image file as it lies on disk, read whole before anything is checked or sent.
#pragma once

#include <optional>
#include <string>

namespace ombrel_cli {

// The file's bytes, or no value and `error` says why (with the path and the system's
// reason). A file far longer than an image is refused without reading it.
std::optional<std::string> ReadImageFile(const std::string& path, std::string& error);

}  // namespace ombrel_cli
