// The clips of a content folder (<folder>/<clip>.<extension>), each loaded and parsed on
// first use and kept for the library's life. Safe to use from several threads; the
// references it hands out stay valid as long as the library.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Clip.h"

namespace tunersim::stream {

class ClipLibrary {
public:
    // The folder's name in the system's narrow encoding; it is read only on Get.
    explicit ClipLibrary(std::string folder);

    // Throws std::runtime_error naming the file when it is missing, unreadable or no
    // clip of that type.
    const Clip& Get(const std::string& clip, sky::StreamType type);

    // "<clip>.<extension>"
    static std::string FileName(const std::string& clip, sky::StreamType type);
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<const Clip>> clips_;
};

}  // namespace tunersim::stream
