#include "DisplayName.h"

#include <algorithm>
#include <cstring>

namespace ombrel {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;  // anything else counts as zero, by the naming contract
}

DeviceId ErrorId() {
    DeviceId id;
    std::memcpy(id.guidString.data(), "Error", 6);
    return id;
}

// Positions of the last two '#'. second == npos when there is only one.
struct HashPositions {
    std::size_t last = std::string_view::npos;
    std::size_t second = std::string_view::npos;
};

HashPositions FindLastTwoHashes(std::string_view name) {
    HashPositions p;
    p.last = name.rfind('#');
    if (p.last != std::string_view::npos && p.last > 0) p.second = name.rfind('#', p.last - 1);
    return p;
}

}  // namespace

DeviceId ParseDeviceId(std::string_view displayName) {
    const HashPositions p = FindLastTwoHashes(displayName);
    if (p.last == std::string_view::npos || p.last == 0) return ErrorId();

    const std::size_t begin = p.second == std::string_view::npos ? 0 : p.second + 1;
    std::string_view segment = displayName.substr(begin, p.last - begin);
    if (segment.size() > kIdFieldLength) segment.remove_prefix(segment.size() - kIdFieldLength);

    // Right-align into a field of '0', so that short segments are padded on the left.
    std::array<char, kIdFieldLength> field;
    field.fill('0');
    std::copy(segment.begin(), segment.end(), field.end() - static_cast<std::ptrdiff_t>(segment.size()));

    // The text lists the field's two-character pairs in reverse order, so that
    // reading it pair by pair gives the identifier's bytes in memory order.
    DeviceId id;
    for (std::size_t pair = 0; pair < 8; ++pair) {
        const std::size_t from = (7 - pair) * 2;
        id.guidString[pair * 2] = field[from];
        id.guidString[pair * 2 + 1] = field[from + 1];
        id.guid[pair] = static_cast<std::uint8_t>(HexValue(field[from]) * 16 + HexValue(field[from + 1]));
    }
    id.guidString[16] = '\0';
    return id;
}

int ParseSubunit(std::string_view displayName) {
    const HashPositions p = FindLastTwoHashes(displayName);
    if (p.second == std::string_view::npos || p.second == 0) return kNoSubunit;
    return static_cast<int>(static_cast<unsigned char>(displayName[p.second - 1])) - '0';
}

bool IsAcceptableDisplayName(std::string_view displayName) {
    return displayName.size() <= kMaxDisplayName;
}

std::uint32_t GuidLow(const std::array<std::uint8_t, 8>& g) {
    return std::uint32_t{g[0]} | std::uint32_t{g[1]} << 8 | std::uint32_t{g[2]} << 16 |
           std::uint32_t{g[3]} << 24;
}

std::uint32_t GuidHigh(const std::array<std::uint8_t, 8>& g) {
    return std::uint32_t{g[4]} | std::uint32_t{g[5]} << 8 | std::uint32_t{g[6]} << 16 |
           std::uint32_t{g[7]} << 24;
}

}  // namespace ombrel
