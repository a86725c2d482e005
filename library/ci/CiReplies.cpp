#include "CiReplies.h"

#include "En50221Length.h"

#include <algorithm>

namespace ombrel::ci {
namespace {

std::span<const std::uint8_t> PayloadOf(const Message& reply) {
    return std::span<const std::uint8_t>(reply).subspan(kPayloadOffset, kPayloadSize);
}

std::uint16_t BigEndianWord(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

constexpr std::size_t kTagSize = 3;

}  // namespace

ApplicationInfo ReadApplicationInfo(const Message& reply) {
    const std::span<const std::uint8_t> payload = PayloadOf(reply);
    const std::uint8_t menuLength = payload[4];
    return {BigEndianWord(payload, 0), BigEndianWord(payload, 2), payload.subspan(5, menuLength)};
}

std::uint8_t ReadDateTime(const Message& reply) { return PayloadOf(reply)[0]; }

MmiObject ReadMmiObject(const Message& reply) {
    const std::span<const std::uint8_t> payload = PayloadOf(reply);
    MmiObject object{};
    object.tag = static_cast<std::uint32_t>(payload[0]) << 16 | static_cast<std::uint32_t>(payload[1]) << 8 | payload[2];
    const std::optional<LengthField> field = DecodeLength(payload.subspan(kTagSize));
    if (!field) return object;
    const std::span<const std::uint8_t> rest = payload.subspan(kTagSize + field->fieldSize);
    object.bodyRead = true;
    object.cut = field->bodyLength > rest.size();
    object.body = rest.first(std::min(field->bodyLength, rest.size()));
    return object;
}

}  // namespace ombrel::ci
