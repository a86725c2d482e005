// How the simulated driver answers the vendor property set, as plain functions on one
// device record. The COM filter maps the outcomes to HRESULTs and does the locking
// and the sleeping.
#pragma once

#include <cstdint>
#include <string_view>

#include "SharedLayout.h"
#include "UpdateLogic.h"

namespace tunersim::property {

enum class Outcome {
    Ok,           // S_OK
    False,        // S_FALSE (injected)
    Fail,         // E_FAIL (injected)
    BadLength,    // the buffer length is not the property's
    BadBuffer,    // no buffer where one is needed
    Unsupported,  // unknown number, or a direction the property does not have
    Unplugged,    // the box is not attached
    NoStatus,     // nothing to report: get 18 with no update run, get 23 with no reply
    Rejected,     // a value the driver does not accept
};

struct Answer {
    Outcome outcome = Outcome::Ok;
    uint32_t bytes = 0;  // bytes returned by a get
};

enum Direction : int { kGet = 0, kSet = 1 };

// Numbers of the properties that this driver knows, for QuerySupported.
bool Supports(unsigned property, Direction direction);

// What reached the driver with one request.
struct Request {
    const void* data = nullptr;   // a set's bytes (a get's buffer is not read)
    uint32_t length = 0;          // the data length
    uint32_t instanceLength = 0;  // the instance buffer's length
};

// Counts the request, notes its lengths (and a set's bytes) and returns the fault
// injected for it (kind 0: none). Called first, for every request that reaches the
// driver, whatever its outcome.
layout::FaultSlot Admit(layout::DeviceRecord& device, unsigned property, Direction direction,
                        const Request& request);

// Answers a get. `fault` is what Admit returned (a delay has already been waited).
Answer Get(layout::DeviceRecord& device, unsigned property, uint8_t* data, uint32_t length,
           const layout::FaultSlot& fault, int64_t nowMs);

// The tuner's check of a firmware image against its own identification.
using ImageCheck = update::ImageVerdict (*)(std::string_view image, uint8_t productLine,
                                             uint8_t modelCode, uint8_t hardwareRevision);

// Answers a set.
Answer Set(layout::DeviceRecord& device, unsigned property, const uint8_t* data,
           uint32_t length, const layout::FaultSlot& fault, int64_t nowMs, ImageCheck check);

}  // namespace tunersim::property
