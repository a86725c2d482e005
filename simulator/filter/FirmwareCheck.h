// The tuner's check of a received firmware image.
#pragma once

#include "PropertyLogic.h"

namespace tunersim {

// The check that set 17 applies; nullptr when the image checker is not built in.
property::ImageCheck TunerImageCheck();

}  // namespace tunersim
