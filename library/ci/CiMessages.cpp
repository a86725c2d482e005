#include "CiMessages.h"

#include "En50221Length.h"

#include <algorithm>

namespace ombrel::ci {
namespace {

constexpr std::uint8_t kCloseImmediately = 0x00;
constexpr std::uint8_t kCancel = 0x00;

// The tag's three bytes and the length field of an object whose body follows.
Payload& ObjectHeader(Payload& payload, std::uint32_t tag, std::uint16_t bodyLength) {
    payload.Byte(static_cast<std::uint8_t>(tag >> 16))
        .Byte(static_cast<std::uint8_t>(tag >> 8))
        .Byte(static_cast<std::uint8_t>(tag));
    std::uint8_t field[kMaxLengthFieldSize];
    return payload.Bytes(field, EncodeLength(bodyLength, field));
}

}  // namespace

Payload& Payload::Byte(std::uint8_t value) { return Bytes(&value, 1); }

Payload& Payload::Word(std::uint16_t value) {
    return Byte(static_cast<std::uint8_t>(value >> 8)).Byte(static_cast<std::uint8_t>(value & 0xFF));
}

Payload& Payload::Bytes(const std::uint8_t* data, std::size_t length) {
    // The builders stay within the payload; the cut only guards the array.
    const std::size_t n = std::min(length, bytes_.size() - size_);
    if (n > 0) std::copy_n(data, n, bytes_.begin() + static_cast<std::ptrdiff_t>(size_));
    size_ += n;
    return *this;
}

Message Query(std::uint8_t type) {
    Message message{};
    message[kSlotOffset] = 0;
    message[kTypeOffset] = type;
    return message;
}

Message Command(std::uint8_t type, const Payload& payload) {
    Message message = Query(type);
    const std::span<const std::uint8_t> bytes = payload.View();
    message[kLengthOffset] = static_cast<std::uint8_t>(bytes.size() & 0xFF);
    message[kLengthOffset + 1] = static_cast<std::uint8_t>(bytes.size() >> 8);
    std::copy(bytes.begin(), bytes.end(), message.begin() + kPayloadOffset);
    return message;
}

Payload OpenPayload() { return Payload().Byte(0x00); }

std::optional<Payload> PmtPayload(std::uint8_t listManagement, std::uint8_t command, const std::uint8_t* pmt,
                                  std::size_t length) {
    if (!pmt || length == 0 || length > kMaxPmtLength) return std::nullopt;
    if (listManagement > kMaxListManagement || command > kMaxPmtCommand) return std::nullopt;
    Payload payload;
    payload.Byte(listManagement).Byte(command).Bytes(pmt, length);
    return payload;
}

Payload DateTimePayload(std::span<const std::uint8_t, 5> utcTime, std::uint16_t localOffset) {
    Payload payload;
    payload.Bytes(utcTime.data(), utcTime.size());
    if (localOffset != 0) payload.Word(localOffset);
    return payload;
}

Payload CloseMmiPayload() {
    Payload payload;
    ObjectHeader(payload, kTagCloseMmi, 1).Byte(kCloseImmediately);
    return payload;
}

Payload MenuAnswerPayload(std::uint8_t choice) {
    Payload payload;
    ObjectHeader(payload, kTagMenuAnswer, 1).Byte(choice);
    return payload;
}

std::optional<Payload> EnqAnswerPayload(std::uint8_t answerId, const std::uint8_t* text, std::uint8_t length) {
    Payload payload;
    if (answerId == kCancel) {
        ObjectHeader(payload, kTagAnswer, 1).Byte(kCancel);
        return payload;
    }
    if (!text && length > 0) return std::nullopt;
    ObjectHeader(payload, kTagAnswer, static_cast<std::uint16_t>(length + 1)).Byte(answerId).Bytes(text, length);
    return payload;
}

Payload ServiceIdPayload(std::uint16_t serviceId) { return Payload().Word(serviceId); }

}  // namespace ombrel::ci
