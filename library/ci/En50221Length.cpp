#include "En50221Length.h"

namespace ombrel::ci {
namespace {

constexpr std::uint8_t kOneByteForm = 0x81;
constexpr std::uint8_t kTwoByteForm = 0x82;
constexpr std::uint16_t kLargestShortForm = 0x7F;

}  // namespace

std::size_t LengthFieldSize(std::uint16_t length) {
    if (length <= kLargestShortForm) return 1;
    return length <= 0xFF ? 2 : 3;
}

std::size_t EncodeLength(std::uint16_t length, std::uint8_t* out) {
    switch (LengthFieldSize(length)) {
    case 1:
        out[0] = static_cast<std::uint8_t>(length);
        return 1;
    case 2:
        out[0] = kOneByteForm;
        out[1] = static_cast<std::uint8_t>(length);
        return 2;
    default:
        out[0] = kTwoByteForm;
        out[1] = static_cast<std::uint8_t>(length >> 8);
        out[2] = static_cast<std::uint8_t>(length & 0xFF);
        return 3;
    }
}

std::optional<LengthField> DecodeLength(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    const std::uint8_t first = bytes[0];
    if (first <= kLargestShortForm) return LengthField{first, 1};
    if (first == kOneByteForm && bytes.size() >= 2) return LengthField{bytes[1], 2};
    if (first == kTwoByteForm && bytes.size() >= 3)
        return LengthField{static_cast<std::size_t>(bytes[1]) << 8 | bytes[2], 3};
    return std::nullopt;
}

}  // namespace ombrel::ci
