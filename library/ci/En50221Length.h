// The length field of EN 50221 objects: one byte below 0x80 for short bodies, else
// 0x81 with one byte or 0x82 with two big-endian bytes (plain C++).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ombrel::ci {

inline constexpr std::size_t kMaxLengthFieldSize = 3;

// Bytes of the field that EncodeLength writes for a body of `length` bytes.
std::size_t LengthFieldSize(std::uint16_t length);

// Writes the shortest field for `length` to `out` (room for kMaxLengthFieldSize bytes)
// and returns its size.
std::size_t EncodeLength(std::uint16_t length, std::uint8_t* out);

struct LengthField {
    std::size_t bodyLength;  // what the field claims
    std::size_t fieldSize;   // bytes of the field itself: the body follows them
};

// The field at the start of `bytes`. Empty for the forms that are not read (0x80, and
// 0x83 to 0xFF) and for a field cut off by the end of `bytes`.
std::optional<LengthField> DecodeLength(std::span<const std::uint8_t> bytes);

}  // namespace ombrel::ci
