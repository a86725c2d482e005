#include "ClipSource.h"

#include <memory>
#include <mutex>

#include "ContentFolder.h"
#include "es/ClipLibrary.h"

namespace tunersim {

stream::ClipLibrary& SharedClips() {
    static std::mutex mutex;
    static std::unique_ptr<stream::ClipLibrary> clips;
    std::lock_guard lock(mutex);
    if (!clips) clips = std::make_unique<stream::ClipLibrary>(ContentFolder());
    return *clips;
}

}  // namespace tunersim
