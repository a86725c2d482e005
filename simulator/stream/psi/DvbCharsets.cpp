#include "DvbCharsets.h"

#include <array>

namespace tunersim::stream::psi {
namespace {

// Code points of the bytes 0xA0..0xFF; 0 marks a byte the table leaves undefined.
using UpperHalf = std::array<char16_t, 96>;

constexpr UpperHalf MakeLatin1() {
    UpperHalf t{};
    for (int i = 0; i < 96; ++i) t[i] = static_cast<char16_t>(0xA0 + i);
    return t;
}

constexpr UpperHalf MakeIso8859_5() {
    UpperHalf t{};
    t[0x00] = 0x00A0;
    for (int b = 0xA1; b <= 0xAC; ++b) t[b - 0xA0] = static_cast<char16_t>(0x0401 + (b - 0xA1));
    t[0x0D] = 0x00AD;
    for (int b = 0xAE; b <= 0xEF; ++b) t[b - 0xA0] = static_cast<char16_t>(0x040E + (b - 0xAE));
    t[0x50] = 0x2116;
    for (int b = 0xF1; b <= 0xFC; ++b) t[b - 0xA0] = static_cast<char16_t>(0x0451 + (b - 0xF1));
    t[0x5D] = 0x00A7;
    t[0x5E] = 0x045E;
    t[0x5F] = 0x045F;
    return t;
}

constexpr UpperHalf MakeIso8859_7() {
    UpperHalf t{};
    constexpr char16_t row[32] = {0x00A0, 0x2018, 0x2019, 0x00A3, 0x20AC, 0x20AF, 0x00A6, 0x00A7,
                                  0x00A8, 0x00A9, 0x037A, 0x00AB, 0x00AC, 0x00AD, 0,      0x2015,
                                  0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x0385, 0x0386, 0x00B7,
                                  0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F};
    for (int i = 0; i < 32; ++i) t[i] = row[i];
    // 0xC0..0xFE follow the Greek block in order; 0xD2 and 0xFF are undefined.
    for (int b = 0xC0; b <= 0xFE; ++b) t[b - 0xA0] = b == 0xD2 ? 0 : static_cast<char16_t>(0x0390 + (b - 0xC0));
    return t;
}

constexpr UpperHalf MakeIso8859_9() {
    UpperHalf t = MakeLatin1();
    t[0xD0 - 0xA0] = 0x011E;
    t[0xDD - 0xA0] = 0x0130;
    t[0xDE - 0xA0] = 0x015E;
    t[0xF0 - 0xA0] = 0x011F;
    t[0xFD - 0xA0] = 0x0131;
    t[0xFE - 0xA0] = 0x015F;
    return t;
}

constexpr UpperHalf MakeIso8859_15() {
    UpperHalf t = MakeLatin1();
    t[0xA4 - 0xA0] = 0x20AC;
    t[0xA6 - 0xA0] = 0x0160;
    t[0xA8 - 0xA0] = 0x0161;
    t[0xB4 - 0xA0] = 0x017D;
    t[0xB8 - 0xA0] = 0x017E;
    t[0xBC - 0xA0] = 0x0152;
    t[0xBD - 0xA0] = 0x0153;
    t[0xBE - 0xA0] = 0x0178;
    return t;
}

constexpr UpperHalf kIso8859_5 = MakeIso8859_5();
constexpr UpperHalf kIso8859_7 = MakeIso8859_7();
constexpr UpperHalf kIso8859_9 = MakeIso8859_9();
constexpr UpperHalf kIso8859_15 = MakeIso8859_15();

const UpperHalf* UpperHalfOf(sky::TextTable table) {
    switch (table) {
    case sky::TextTable::Iso8859_5: return &kIso8859_5;
    case sky::TextTable::Iso8859_7: return &kIso8859_7;
    case sky::TextTable::Iso8859_9: return &kIso8859_9;
    case sky::TextTable::Iso8859_15: return &kIso8859_15;
    default: return nullptr;
    }
}

}  // namespace

std::optional<uint8_t> DvbTextSelector(sky::TextTable table) {
    switch (table) {
    case sky::TextTable::Default: return std::nullopt;
    case sky::TextTable::Iso8859_5: return 0x01;
    case sky::TextTable::Iso8859_7: return 0x03;
    case sky::TextTable::Iso8859_9: return 0x05;
    case sky::TextTable::Iso8859_15: return 0x0B;
    case sky::TextTable::Utf8: return 0x15;
    }
    return std::nullopt;
}

std::optional<uint8_t> OneByteCode(sky::TextTable table, char32_t c) {
    if (c >= 0x20 && c < 0x7F) return static_cast<uint8_t>(c);
    const UpperHalf* upper = UpperHalfOf(table);
    if (upper == nullptr || c == 0 || c > 0xFFFF) return std::nullopt;
    for (std::size_t i = 0; i < upper->size(); ++i)
        if ((*upper)[i] == c) return static_cast<uint8_t>(0xA0 + i);
    return std::nullopt;
}

}  // namespace tunersim::stream::psi
