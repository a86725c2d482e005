// Shared by the clip parsers: start-code search and the errors they throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tunersim::stream::detail {

// The offset of the next 00 00 01 start code prefix at or after `from`, or the size of
// the bytes when there is none.
inline std::size_t FindStartCode(std::span<const uint8_t> bytes, std::size_t from) {
    std::size_t i = from;
    while (i + 2 < bytes.size()) {
        if (bytes[i + 2] > 1) {
            i += 3;
        } else if (bytes[i + 2] == 1 && bytes[i + 1] == 0 && bytes[i] == 0) {
            return i;
        } else {
            ++i;
        }
    }
    return bytes.size();
}

// "<stream>: <what> at offset <offset>"
[[noreturn]] inline void Reject(std::string_view stream, std::string_view what, std::size_t offset) {
    throw std::runtime_error(std::string(stream) + ": " + std::string(what) + " at offset " + std::to_string(offset));
}

[[noreturn]] inline void Reject(std::string_view stream, std::string_view what) {
    throw std::runtime_error(std::string(stream) + ": " + std::string(what));
}

// The offset of the first start code of a start-code stream; only zero bytes may come
// before it. Rejects anything else as not being `stream`.
inline std::size_t FirstStartCode(std::span<const uint8_t> bytes, std::string_view stream) {
    const std::size_t pos = FindStartCode(bytes, 0);
    for (std::size_t i = 0; i < pos; ++i) {
        if (bytes[i] != 0) Reject(stream, "data before the first start code", i);
    }
    if (pos == bytes.size()) Reject(stream, "no start code");
    return pos;
}

// One frame of `samples` at `rate` Hz, or of `den`/`num` seconds, in whole 90 kHz ticks;
// 0 when it is no whole number of ticks.
inline uint32_t WholeTicks(uint64_t den, uint64_t num) {
    if (num == 0 || den == 0) return 0;
    const uint64_t scaled = 90000 * den;
    if (scaled % num != 0 || scaled / num > UINT32_MAX) return 0;
    return static_cast<uint32_t>(scaled / num);
}

}  // namespace tunersim::stream::detail
