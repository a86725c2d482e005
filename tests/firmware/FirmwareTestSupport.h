// Helpers for the firmware tests. They read images without the library's own decoder, so
// that the library's records are checked against an independent reading.
#pragma once

#include "FirmwareImage.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace firmware::test {

inline std::string FirmwareDir() { return OMBREL_FIRMWARE_DIR; }

inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Lines of a text split at CR LF, without the terminators; `rest` gets what follows the
// last CR LF.
inline std::vector<std::string_view> SplitCrLf(std::string_view text, std::string_view* rest = nullptr) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    for (std::size_t at; (at = text.find("\r\n", pos)) != std::string_view::npos; pos = at + 2) {
        lines.push_back(text.substr(pos, at - pos));
    }
    if (rest) *rest = text.substr(pos);
    return lines;
}

// Offset of the first character of each line (index 0 = line 1).
inline std::vector<std::size_t> LineStarts(std::string_view text) {
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n' && i + 2 < text.size()) starts.push_back(i + 2);
    }
    return starts;
}

inline int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Bytes of a record line after ':' (count, address, type, data, checksum); empty when a
// character is no upper-case hex digit.
inline std::vector<std::uint8_t> RecordBytes(std::string_view line) {
    std::vector<std::uint8_t> bytes;
    if (line.size() < 3 || line[0] != ':' || line.size() % 2 == 0) return {};
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
        const int hi = Nibble(line[i]), lo = Nibble(line[i + 1]);
        if (hi < 0 || lo < 0) return {};
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return bytes;
}

// Bit-by-bit CRC-32 (reflected 0xEDB88320), independent of the library's table.
inline std::uint32_t ReferenceCrc32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Replaces one hex digit of a line with another upper-case digit.
inline void FlipDigit(std::string& image, std::size_t offset) {
    image[offset] = image[offset] == '0' ? '1' : '0';
}

}  // namespace firmware::test
