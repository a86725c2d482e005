// Reads the fields of an H.264 parameter set or slice header: the NAL unit's payload
// with its emulation prevention bytes removed (RBSP), then bits, Exp-Golomb codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace tunersim::stream::detail {

// The payload with every emulation_prevention_three_byte (00 00 03) removed, at most
// `limit` bytes of it (a slice header needs only its start).
inline void Unescape(std::span<const uint8_t> payload, std::vector<uint8_t>& rbsp, std::size_t limit) {
    rbsp.clear();
    int zeros = 0;
    for (const uint8_t b : payload) {
        if (rbsp.size() >= limit) break;
        if (zeros >= 2 && b == 3) {
            zeros = 0;
            continue;
        }
        zeros = b == 0 ? zeros + 1 : 0;
        rbsp.push_back(b);
    }
}

// Thrown when a field runs past the end of the bytes or a code is out of range.
struct BitsExhausted : std::runtime_error {
    BitsExhausted() : std::runtime_error("truncated") {}
};

class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint32_t Bits(unsigned count) {
        uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i) value = value << 1 | Bit();
        return value;
    }
    bool Flag() { return Bit() != 0; }
    // ue(v); codes above 2^32 - 2 are refused.
    uint32_t Ue() {
        unsigned zeros = 0;
        while (Bit() == 0) {
            if (++zeros > 31) throw BitsExhausted();
        }
        const uint64_t value = (uint64_t{1} << zeros) - 1 + Bits(zeros);
        if (value > UINT32_MAX - 1) throw BitsExhausted();
        return static_cast<uint32_t>(value);
    }
    // se(v)
    int64_t Se() {
        const uint32_t k = Ue();
        return (k & 1) ? static_cast<int64_t>((k + 1) / 2) : -static_cast<int64_t>(k / 2);
    }

private:
    uint32_t Bit() {
        if (position_ >= bytes_.size() * 8) throw BitsExhausted();
        const uint32_t bit = (bytes_[position_ / 8] >> (7 - position_ % 8)) & 1;
        ++position_;
        return bit;
    }

    std::span<const uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace tunersim::stream::detail
