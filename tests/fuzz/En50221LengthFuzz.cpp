// The EN 50221 length field at the start of any bytes, as a driver's reply may carry it.
// Properties: decoding reads nothing past the bytes it is given (they lie at the end of
// a heap block, so a read past them is caught) and answers exactly the three readable
// forms (00..7F, 81 n, 82 hh ll), nothing for 80, 83..FF or a field cut short; the
// field's size never exceeds what was given. Every length encodes in the shortest form,
// into exactly as many bytes as LengthFieldSize says, and decodes to itself.
#include "En50221Length.h"
#include "FuzzSupport.h"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace ombrel::ci;

// The field as the standard lays it out, read on its own terms.
std::optional<LengthField> Expected(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return std::nullopt;
    if (bytes[0] < 0x80) return LengthField{bytes[0], 1};
    if (bytes[0] == 0x81 && size >= 2) return LengthField{bytes[1], 2};
    if (bytes[0] == 0x82 && size >= 3) return LengthField{std::size_t{bytes[1]} * 256 + bytes[2], 3};
    return std::nullopt;
}

void CheckDecode(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes in a block of its own: a read past it is a finding.
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size == 0 ? 1 : size]);
    if (size > 0) std::memcpy(bytes.get(), data, size);
    const auto field = DecodeLength(std::span<const std::uint8_t>(bytes.get(), size));
    const auto expected = Expected(data, size);
    FUZZ_REQUIRE(field.has_value() == expected.has_value(), "exactly the readable forms are decoded");
    if (!field) return;
    FUZZ_REQUIRE(field->fieldSize == expected->fieldSize, "the field's own size");
    FUZZ_REQUIRE(field->bodyLength == expected->bodyLength, "the length it claims");
    FUZZ_REQUIRE(field->fieldSize <= size && field->fieldSize <= kMaxLengthFieldSize, "the field lies within the bytes");
}

void CheckRoundTrip(std::uint16_t length) {
    const std::size_t shortest = length < 0x80 ? 1 : length <= 0xFF ? 2 : 3;
    FUZZ_REQUIRE(LengthFieldSize(length) == shortest, "the shortest form: 1 byte below 0x80, 2 up to 0xFF, else 3");
    // Exactly as many bytes as announced: writing a byte more is a finding.
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[shortest]);
    FUZZ_REQUIRE(EncodeLength(length, out.get()) == shortest, "encode writes the announced size");
    if (shortest == 2) FUZZ_REQUIRE(out[0] == 0x81, "the one-byte long form begins 81");
    if (shortest == 3) FUZZ_REQUIRE(out[0] == 0x82 && out[1] == length >> 8, "the two-byte long form: 82, high byte first");
    const auto back = DecodeLength(std::span<const std::uint8_t>(out.get(), shortest));
    FUZZ_REQUIRE(back && back->bodyLength == length && back->fieldSize == shortest, "encode then decode gives the length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool everyLength = [] {
        for (unsigned length = 0; length <= 0xFFFF; ++length) CheckRoundTrip(static_cast<std::uint16_t>(length));
        return true;
    }();
    (void)everyLength;
    CheckDecode(data, size);
    // The field further in, as it stands behind a tag in a reply.
    for (std::size_t cut = 0; cut < size && cut < 4; ++cut) CheckDecode(data + cut, size - cut);
    if (size >= 2) CheckRoundTrip(static_cast<std::uint16_t>(data[0] << 8 | data[1]));
    return 0;
}
