// What must hold for any text handed to the firmware image validator, the tuner's
// check and the update program's version reader; shared by the image fuzz targets.
#pragma once

#include <string_view>

namespace fuzz {

// Aborts when a property is broken:
//  - the validator reports a line for every fault, and only for faults, and judges the
//    head of a file (what fwgen --check reads) as the whole file;
//  - an image the validator accepts is for a carried tuner, which accepts it with the
//    version of the catalogue, and another carried tuner refuses it with 9;
//  - an image a tuner accepts is refused with 9 by a tuner of another revision, and the
//    update program reads the same version from it as the tuner does.
void CheckImage(std::string_view image);

}  // namespace fuzz
