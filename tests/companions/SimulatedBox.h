// A simulated box described by the identification bytes that the companions read.
#pragma once

#include <TunerSimControl.h>

#include <cstdint>
#include <string>

namespace companion_test {

inline tunersim::DeviceProfile Box(const std::string& id, uint8_t line, uint8_t model,
                                   uint8_t revision, unsigned models = tunersim::kWdm) {
    tunersim::DeviceProfile box;
    box.id = id;
    box.models = models;
    box.productLine = line;
    box.modelCode = model;
    box.hardwareRevision = revision;
    return box;
}

}  // namespace companion_test
