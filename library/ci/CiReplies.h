// What the library reads from the driver's replies to Common Interface queries
// (plain C++). Nothing is read beyond the message.
#pragma once

#include "CiMessages.h"

#include <cstdint>
#include <span>

namespace ombrel::ci {

struct ApplicationInfo {
    std::uint16_t manufacturer;
    std::uint16_t manufacturerCode;
    std::span<const std::uint8_t> menuString;  // not NUL-terminated, at most 255 bytes
};
ApplicationInfo ReadApplicationInfo(const Message& reply);

// The one byte of the date-time reply.
std::uint8_t ReadDateTime(const Message& reply);

struct MmiObject {
    std::uint32_t tag;                     // 24-bit, 9F88xx for MMI objects
    bool bodyRead;                         // false: a length form the library does not read
    std::span<const std::uint8_t> body;    // within the reply
    bool cut;                              // the length field claimed more than the reply holds
};
MmiObject ReadMmiObject(const Message& reply);

}  // namespace ombrel::ci
