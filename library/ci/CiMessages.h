// The messages of the Common Interface command and request properties, byte by byte
// as the driver reads them (plain C++; OMBREL_CI_MESSAGE of the public header has the
// same layout).
//
// A command carries a payload and its Length; a query carries only Slot and Type, and
// the driver answers it in the same buffer with the reply in the payload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ombrel::ci {

inline constexpr std::size_t kMessageSize = 1036;
inline constexpr std::size_t kSlotOffset = 0;
inline constexpr std::size_t kTypeOffset = 1;
inline constexpr std::size_t kLengthOffset = 8;  // 16-bit little-endian
inline constexpr std::size_t kPayloadOffset = 10;
inline constexpr std::size_t kPayloadSize = kMessageSize - kPayloadOffset;  // 1026

inline constexpr std::size_t kMaxPmtLength = 1024;  // the payload less its two leading bytes
inline constexpr std::uint8_t kMaxListManagement = 5;
inline constexpr std::uint8_t kMaxPmtCommand = 4;
inline constexpr std::uint8_t kListManagementOnly = 3;
inline constexpr std::uint8_t kOkDescrambling = 1;

// MMI objects that the library sends (24-bit tags).
inline constexpr std::uint32_t kTagCloseMmi = 0x9F8800;
inline constexpr std::uint32_t kTagAnswer = 0x9F8808;
inline constexpr std::uint32_t kTagMenuAnswer = 0x9F880B;

using Message = std::array<std::uint8_t, kMessageSize>;

// A command's payload as it is built; never longer than kPayloadSize.
class Payload {
public:
    Payload& Byte(std::uint8_t value);
    Payload& Word(std::uint16_t value);  // big-endian, as inside EN 50221 objects
    Payload& Bytes(const std::uint8_t* data, std::size_t length);
    std::span<const std::uint8_t> View() const { return {bytes_.data(), size_}; }

private:
    std::array<std::uint8_t, kPayloadSize> bytes_{};
    std::size_t size_ = 0;
};

// A query: Slot 0 and Type; every other byte 0.
Message Query(std::uint8_t type);
// A command: Slot 0, Type, Length and the payload; every other byte 0.
Message Command(std::uint8_t type, const Payload& payload);

// Command payloads.
Payload OpenPayload();
// Empty when the arguments are out of range: no PMT bytes, more than kMaxPmtLength,
// list management above 5 or command above 4.
std::optional<Payload> PmtPayload(std::uint8_t listManagement, std::uint8_t command, const std::uint8_t* pmt,
                                  std::size_t length);
// The UTC_time bytes as given, then the local offset (big-endian) unless it is 0.
Payload DateTimePayload(std::span<const std::uint8_t, 5> utcTime, std::uint16_t localOffset);
Payload CloseMmiPayload();
Payload MenuAnswerPayload(std::uint8_t choice);
// Answer identifier 0 cancels: then no text. A text of 127 bytes or more takes the
// long length form. Empty when text bytes are due but there is no text.
std::optional<Payload> EnqAnswerPayload(std::uint8_t answerId, const std::uint8_t* text, std::uint8_t length);
Payload ServiceIdPayload(std::uint16_t serviceId);

}  // namespace ombrel::ci
