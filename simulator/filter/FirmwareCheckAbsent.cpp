// Built when the image checker library is not part of the tree: set 17 is refused.
#include "FirmwareCheck.h"

namespace tunersim {

property::ImageCheck TunerImageCheck() { return nullptr; }

}  // namespace tunersim
