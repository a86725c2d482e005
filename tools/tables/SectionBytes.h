// Reading a received section's fields without trusting its lengths: a reader that never
// goes past its bytes (a read beyond them marks it failed and gives 0), the long-form
// header, and the BCD and MJD codings of the DVB tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace talvex::tables {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ >= size_; }
    std::size_t Left() const { return size_ - pos_; }
    const std::uint8_t* Here() const { return data_ + pos_; }

    std::uint32_t Bits(std::size_t bytes) {
        if (bytes > Left()) return Fail();
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i) v = v << 8 | data_[pos_++];
        return v;
    }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Bits(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Bits(2)); }
    std::uint32_t U24() { return Bits(3); }
    std::uint32_t U32() { return Bits(4); }
    // The next `size` bytes as a reader of their own; fails (and gives an empty one) if
    // fewer are left.
    ByteReader Take(std::size_t size) {
        if (size > Left()) {
            Fail();
            return {};
        }
        ByteReader sub(data_ + pos_, size);
        pos_ += size;
        return sub;
    }
    void Skip(std::size_t size) { Take(size); }

private:
    std::uint32_t Fail() {
        ok_ = false;
        pos_ = size_;
        return 0;
    }
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The header of a long-form section (section_syntax_indicator 1) and its body between
// the header and the CRC_32.
struct LongSection {
    std::uint8_t tableId = 0;
    std::uint16_t extension = 0;  // transport_stream_id, program_number, service_id, network_id
    std::uint8_t version = 0;
    bool current = true;
    std::uint8_t number = 0;
    std::uint8_t last = 0;
    ByteReader body;
};

// nullopt for a short-form section or one too short for its header and CRC. The section
// is whole (3 + section_length bytes), as SectionAssembler hands it on.
std::optional<LongSection> ReadLongSection(const std::uint8_t* section, std::size_t size);

// Packed BCD of `digits` digits (right-aligned in `value`); nullopt if a nibble is not 0..9.
std::optional<std::uint32_t> FromBcd(std::uint32_t value, int digits);

// Calls f(tag, payload) for each descriptor of a loop; false when a descriptor runs past
// the loop's end (what came before it has been handed on).
template <class F>
bool ForEachDescriptor(ByteReader loop, F&& f) {
    while (!loop.AtEnd()) {
        const std::uint8_t tag = loop.U8();
        const std::uint8_t length = loop.U8();
        ByteReader payload = loop.Take(length);
        if (!loop.Ok()) return false;
        f(tag, payload);
    }
    return true;
}

// A loop that a 12-bit (mask 0x0FFF) or 10-bit length in front of it announces.
inline ByteReader TakeLoop(ByteReader& r, std::uint16_t mask) { return r.Take(r.U16() & mask); }

// A three-letter ISO 639-2 code; bytes that are not printable ASCII become '?'.
std::string ReadLanguageCode(ByteReader& r);

// UTC_time of the DVB tables: 16-bit MJD and 24-bit BCD hh:mm:ss. nullopt when undefined
// (all ones) or malformed.
std::optional<std::int64_t> UnixFromMjdBcd(std::uint16_t mjd, std::uint32_t bcdTime);
// A 24-bit BCD hh:mm:ss duration in seconds.
std::optional<std::uint32_t> SecondsFromBcd(std::uint32_t bcdDuration);

}  // namespace talvex::tables
