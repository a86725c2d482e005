// Device identity derived from a filter moniker's display name (plain C++).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ombrel {

// Longest display name the library keeps: its texts live in 512-byte buffers.
inline constexpr std::size_t kMaxDisplayName = 511;
// The identifier segment fills a 16-character field.
inline constexpr std::size_t kIdFieldLength = 16;

struct DeviceId {
    std::array<char, 17> guidString{};   // 16 hex characters or "Error", NUL-terminated
    std::array<std::uint8_t, 8> guid{};  // little-endian 64-bit identifier
};

// The identifier between the last two '#' of the name. A name without a usable
// segment yields "Error" and an all-zero identifier. A segment longer than the
// 16-character field is cut to its last 16 characters (the low-order digits, next
// to the last '#'), so that nothing is written past the field.
DeviceId ParseDeviceId(std::string_view displayName);

// The character before the second-to-last '#', minus '0'. Names that have no such
// character (fewer than two '#', or that '#' first) give kNoSubunit.
inline constexpr int kNoSubunit = -1;
int ParseSubunit(std::string_view displayName);

// True when the library can take a filter with this display name: it fits the
// 511-character buffers. Longer names are refused, not cut: a cut name would
// no longer identify its filter.
bool IsAcceptableDisplayName(std::string_view displayName);

// The low and high 32-bit words of the identifier, as the caller sees them.
std::uint32_t GuidLow(const std::array<std::uint8_t, 8>& guid);
std::uint32_t GuidHigh(const std::array<std::uint8_t, 8>& guid);

}  // namespace ombrel
