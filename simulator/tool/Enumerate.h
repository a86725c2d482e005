// What the system device enumerator lists in the tuner categories.
#pragma once

#include <string>
#include <vector>

namespace tunersim {

struct EnumeratedFilter {
    std::string category;      // "{860BB310-...}"
    std::string friendlyName;  // empty when the bag has none
    std::string displayName;
};

// Requires COM on the calling thread. Throws tunersim::Error when the enumerator
// cannot be created.
std::vector<EnumeratedFilter> EnumerateTunerCategories();

}  // namespace tunersim
