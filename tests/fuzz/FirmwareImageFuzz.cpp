// Any file handed to the validator (fwgen --check) or any buffer a tuner receives
// (set 17), as raw bytes. The seeds are complete images, so inputs reach the size of
// one; properties in ImageProperties.h.
#include "FuzzSupport.h"
#include "ImageProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CheckImage(fuzz::Text(data, size));
    return 0;
}
