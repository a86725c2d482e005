#include "AtscSections.h"

#include "Utf8Text.h"

namespace talvex::tables {
namespace {

constexpr std::size_t kShortNameUnits = 7;

// short_name: seven UTF-16 code units, padded with 0x0000. A lone surrogate or a control
// character becomes U+FFFD.
std::string ReadShortName(ByteReader& r) {
    char32_t units[kShortNameUnits];
    for (char32_t& unit : units) unit = r.U16();
    std::size_t count = 0;
    while (count < kShortNameUnits && units[count] != 0) ++count;
    std::string name;
    for (std::size_t i = 0; i < count; ++i) {
        char32_t c = units[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            c = 0xFFFD;
        }
        AppendUtf8(name, c);
    }
    return name;
}

}  // namespace

std::optional<std::vector<MgtTable>> ParseMgt(ByteReader body) {
    body.Skip(1);  // protocol_version
    const std::uint16_t count = body.U16();
    std::vector<MgtTable> tables;
    for (std::uint16_t i = 0; i < count && body.Ok(); ++i) {
        MgtTable t;
        t.type = body.U16();
        t.pid = body.U16() & 0x1FFF;
        t.version = body.U8() & 0x1F;
        body.Skip(4);  // number_bytes
        TakeLoop(body, 0x0FFF);
        tables.push_back(t);
    }
    TakeLoop(body, 0x0FFF);
    if (!body.Ok()) return std::nullopt;
    return tables;
}

std::optional<std::vector<VirtualChannel>> ParseTvct(ByteReader body) {
    body.Skip(1);  // protocol_version
    const std::uint8_t count = body.U8();
    std::vector<VirtualChannel> channels;
    for (std::uint8_t i = 0; i < count && body.Ok(); ++i) {
        VirtualChannel c;
        c.shortName = ReadShortName(body);
        const std::uint32_t numbers = body.U24();
        c.major = static_cast<std::uint16_t>(numbers >> 10 & 0x3FF);
        c.minor = static_cast<std::uint16_t>(numbers & 0x3FF);
        body.Skip(1 + 4);  // modulation_mode, carrier_frequency
        c.transportStreamId = body.U16();
        c.programNumber = body.U16();
        const std::uint16_t flags = body.U16();
        c.accessControlled = (flags & 0x2000) != 0;
        c.hidden = (flags & 0x1000) != 0;
        c.serviceType = flags & 0x3F;
        body.Skip(2);  // source_id
        TakeLoop(body, 0x03FF);
        channels.push_back(std::move(c));
    }
    TakeLoop(body, 0x03FF);
    if (!body.Ok()) return std::nullopt;
    return channels;
}

std::optional<std::int64_t> ParseStt(ByteReader body) {
    body.Skip(1);  // protocol_version
    const std::uint32_t gps = body.U32();
    const std::uint8_t offset = body.U8();
    if (!body.Ok()) return std::nullopt;
    constexpr std::int64_t kGpsEpochUnix = 315964800;  // 1980-01-06 00:00:00 UTC
    return kGpsEpochUnix + gps - offset;
}

}  // namespace talvex::tables
