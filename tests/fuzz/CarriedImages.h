// The thirteen carried images, built once per fuzzing process by the project's builder.
#pragma once

#include "FirmwareImage.h"

#include <string>
#include <vector>

namespace fuzz {

inline const std::vector<std::string>& CarriedImages() {
    static const std::vector<std::string> images = [] {
        std::vector<std::string> all;
        for (const auto& entry : firmware::Catalogue()) all.push_back(firmware::BuildImage(entry));
        return all;
    }();
    return images;
}

}  // namespace fuzz
