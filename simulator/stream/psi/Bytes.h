// Appending big-endian fields to a growing byte string, the way every table lays out
// its bits, and patching a length once what it counts has been written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tunersim::stream::psi {

using Bytes = std::vector<uint8_t>;

inline void Put8(Bytes& b, unsigned value) { b.push_back(static_cast<uint8_t>(value)); }
inline void Put16(Bytes& b, unsigned value) {
    b.push_back(static_cast<uint8_t>(value >> 8));
    b.push_back(static_cast<uint8_t>(value));
}
inline void Put24(Bytes& b, uint32_t value) {
    b.push_back(static_cast<uint8_t>(value >> 16));
    Put16(b, value & 0xFFFF);
}
inline void Put32(Bytes& b, uint32_t value) {
    Put16(b, value >> 16);
    Put16(b, value & 0xFFFF);
}
inline void Append(Bytes& b, std::span<const uint8_t> more) { b.insert(b.end(), more.begin(), more.end()); }

// A 16-bit field whose upper four bits are reserved (set) and whose lower twelve hold a
// length: written as a placeholder, patched by PatchLength12.
inline std::size_t PutLength12(Bytes& b) {
    Put16(b, 0xF000);
    return b.size() - 2;
}
inline void PatchLength12(Bytes& b, std::size_t at, std::size_t length) {
    b[at] = static_cast<uint8_t>((b[at] & 0xF0) | (length >> 8 & 0x0F));
    b[at + 1] = static_cast<uint8_t>(length);
}

}  // namespace tunersim::stream::psi
