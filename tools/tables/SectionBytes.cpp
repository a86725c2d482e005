#include "SectionBytes.h"

namespace talvex::tables {

std::optional<LongSection> ReadLongSection(const std::uint8_t* section, std::size_t size) {
    if (size < 12 || (section[1] & 0x80) == 0) return std::nullopt;
    LongSection s;
    s.tableId = section[0];
    s.extension = static_cast<std::uint16_t>(section[3] << 8 | section[4]);
    s.version = section[5] >> 1 & 0x1F;
    s.current = (section[5] & 0x01) != 0;
    s.number = section[6];
    s.last = section[7];
    s.body = ByteReader(section + 8, size - 12);
    return s;
}

std::string ReadLanguageCode(ByteReader& r) {
    std::string code;
    for (int i = 0; i < 3; ++i) {
        const std::uint8_t c = r.U8();
        // Codes are letters; anything else would only garble messages and files.
        code.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    return code;
}

std::optional<std::uint32_t> FromBcd(std::uint32_t value, int digits) {
    std::uint32_t result = 0;
    for (int i = digits - 1; i >= 0; --i) {
        const std::uint32_t digit = value >> (4 * i) & 0x0F;
        if (digit > 9) return std::nullopt;
        result = result * 10 + digit;
    }
    return result;
}

std::optional<std::uint32_t> SecondsFromBcd(std::uint32_t bcd) {
    const auto h = FromBcd(bcd >> 16 & 0xFF, 2), m = FromBcd(bcd >> 8 & 0xFF, 2), s = FromBcd(bcd & 0xFF, 2);
    if (!h || !m || !s || *m > 59 || *s > 60) return std::nullopt;
    return *h * 3600 + *m * 60 + *s;
}

std::optional<std::int64_t> UnixFromMjdBcd(std::uint16_t mjd, std::uint32_t bcdTime) {
    if (mjd == 0xFFFF && bcdTime == 0xFFFFFF) return std::nullopt;
    const auto seconds = SecondsFromBcd(bcdTime);
    if (!seconds || *seconds >= 86400 + 1) return std::nullopt;
    constexpr std::int64_t kMjdOfUnixEpoch = 40587;
    return (static_cast<std::int64_t>(mjd) - kMjdOfUnixEpoch) * 86400 + *seconds;
}

}  // namespace talvex::tables
