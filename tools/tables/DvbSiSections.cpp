#include "DvbSiSections.h"

#include "DvbTextDecoder.h"

namespace talvex::tables {
namespace {

constexpr std::uint8_t kNetworkNameDescriptor = 0x40;
constexpr std::uint8_t kServiceListDescriptor = 0x41;
constexpr std::uint8_t kSatelliteDeliveryDescriptor = 0x43;
constexpr std::uint8_t kServiceDescriptor = 0x48;
constexpr std::uint8_t kShortEventDescriptor = 0x4D;
constexpr std::uint8_t kTerrestrialDeliveryDescriptor = 0x5A;

// A text with its 8-bit length in front.
std::string ReadText(ByteReader& r) {
    const std::uint8_t length = r.U8();
    ByteReader text = r.Take(length);
    return DecodeDvbText(text.Here(), text.Left());
}

std::string AllText(ByteReader r) { return DecodeDvbText(r.Here(), r.Left()); }

void ReadServiceDescriptor(ByteReader payload, SdtEntry& entry) {
    entry.type = payload.U8();
    std::string provider = ReadText(payload);
    std::string name = ReadText(payload);
    if (!payload.Ok()) return;  // a descriptor cut short says nothing reliable
    entry.provider = std::move(provider);
    entry.name = std::move(name);
}

void ReadShortEvent(ByteReader payload, Event& event) {
    std::string language = ReadLanguageCode(payload);
    std::string name = ReadText(payload);
    std::string text = ReadText(payload);
    if (!payload.Ok()) return;
    event.language = std::move(language);
    event.name = std::move(name);
    event.text = std::move(text);
}

}  // namespace

std::optional<SdtContent> ParseSdt(ByteReader body) {
    SdtContent sdt;
    sdt.originalNetworkId = body.U16();
    body.Skip(1);
    bool ok = body.Ok();
    while (ok && !body.AtEnd()) {
        SdtEntry entry;
        entry.serviceId = body.U16();
        entry.eitPresentFollowing = (body.U8() & 0x01) != 0;
        const std::uint16_t flags = body.U16();
        entry.runningStatus = static_cast<std::uint8_t>(flags >> 13);
        entry.freeCaMode = (flags & 0x1000) != 0;
        ByteReader descriptors = body.Take(flags & 0x0FFF);
        if (!body.Ok()) return std::nullopt;
        ok = ForEachDescriptor(descriptors, [&](std::uint8_t tag, ByteReader payload) {
            if (tag == kServiceDescriptor) ReadServiceDescriptor(payload, entry);
        });
        sdt.services.push_back(std::move(entry));
    }
    if (!ok) return std::nullopt;
    return sdt;
}

std::optional<SatelliteDelivery> ParseSatelliteDelivery(ByteReader p) {
    const std::uint32_t frequency = p.U32();
    const std::uint16_t orbital = p.U16();
    const std::uint8_t flags = p.U8();
    const std::uint32_t rateAndFec = p.U32();
    if (!p.Ok()) return std::nullopt;
    const auto f = FromBcd(frequency, 8);           // 10 kHz units
    const auto o = FromBcd(orbital, 4);             // tenths of a degree
    const auto sr = FromBcd(rateAndFec >> 4, 7);    // 100 symbol/s units
    if (!f || !o || !sr) return std::nullopt;
    SatelliteDelivery d;
    d.frequencyKHz = *f * 10;
    d.orbitalTenths = static_cast<std::uint16_t>(*o);
    d.east = (flags & 0x80) != 0;
    d.polarisation = static_cast<Polarisation>(flags >> 5 & 0x03);
    d.rollOff = flags >> 3 & 0x03;
    d.s2 = (flags & 0x04) != 0;
    d.modulation = flags & 0x03;
    d.symbolRate = *sr * 100;
    d.fec = rateAndFec & 0x0F;
    return d;
}

std::optional<TerrestrialDelivery> ParseTerrestrialDelivery(ByteReader p) {
    const std::uint32_t frequency = p.U32();
    const std::uint8_t b0 = p.U8(), b1 = p.U8(), b2 = p.U8();
    p.Skip(4);
    if (!p.Ok()) return std::nullopt;
    static constexpr std::uint8_t kBandwidths[8] = {8, 7, 6, 5, 0, 0, 0, 0};
    TerrestrialDelivery d;
    d.centreFrequencyHz = std::uint64_t{frequency} * 10;
    d.bandwidthMHz = kBandwidths[b0 >> 5];
    d.constellation = b1 >> 6;
    d.hierarchy = b1 >> 3 & 0x07;
    d.codeRateHp = b1 & 0x07;
    d.codeRateLp = b2 >> 5;
    d.guard = b2 >> 3 & 0x03;
    d.mode = b2 >> 1 & 0x03;
    d.otherFrequency = (b2 & 0x01) != 0;
    return d;
}

std::optional<NitContent> ParseNit(ByteReader body) {
    NitContent nit;
    ByteReader networkDescriptors = TakeLoop(body, 0x0FFF);
    if (!body.Ok()) return std::nullopt;
    bool ok = ForEachDescriptor(networkDescriptors, [&](std::uint8_t tag, ByteReader payload) {
        if (tag == kNetworkNameDescriptor) nit.networkName = AllText(payload);
    });
    ByteReader loop = TakeLoop(body, 0x0FFF);
    if (!body.Ok()) return std::nullopt;
    while (ok && !loop.AtEnd()) {
        Transport t;
        t.transportStreamId = loop.U16();
        t.originalNetworkId = loop.U16();
        ByteReader descriptors = TakeLoop(loop, 0x0FFF);
        if (!loop.Ok()) return std::nullopt;
        ok = ForEachDescriptor(descriptors, [&](std::uint8_t tag, ByteReader payload) {
            if (tag == kSatelliteDeliveryDescriptor) {
                t.satellite = ParseSatelliteDelivery(payload);
            } else if (tag == kTerrestrialDeliveryDescriptor) {
                t.terrestrial = ParseTerrestrialDelivery(payload);
            } else if (tag == kServiceListDescriptor) {
                while (payload.Left() >= 3) {
                    ListedService s;
                    s.id = payload.U16();
                    s.type = payload.U8();
                    t.services.push_back(s);
                }
            }
        });
        nit.transports.push_back(std::move(t));
    }
    if (!ok) return std::nullopt;
    return nit;
}

std::optional<EitContent> ParseEit(ByteReader body) {
    EitContent eit;
    eit.transportStreamId = body.U16();
    eit.originalNetworkId = body.U16();
    body.Skip(2);  // segment_last_section_number, last_table_id
    bool ok = body.Ok();
    while (ok && !body.AtEnd()) {
        Event e;
        e.id = body.U16();
        const std::uint16_t mjd = body.U16();
        const std::uint32_t time = body.U24();
        const std::uint32_t duration = body.U24();
        const std::uint16_t flags = body.U16();
        ByteReader descriptors = body.Take(flags & 0x0FFF);
        if (!body.Ok()) return std::nullopt;
        e.startUnix = UnixFromMjdBcd(mjd, time);
        if (duration != 0xFFFFFF) e.durationSeconds = SecondsFromBcd(duration);
        e.runningStatus = static_cast<std::uint8_t>(flags >> 13);
        ok = ForEachDescriptor(descriptors, [&](std::uint8_t tag, ByteReader payload) {
            if (tag == kShortEventDescriptor && e.name.empty()) ReadShortEvent(payload, e);
        });
        eit.events.push_back(std::move(e));
    }
    if (!ok) return std::nullopt;
    return eit;
}

std::optional<std::int64_t> ParseDvbTime(const std::uint8_t* section, std::size_t size) {
    if (size < 8 || (section[0] != kTdtTableId && section[0] != kTotTableId)) return std::nullopt;
    ByteReader r(section + 3, size - 3);
    const std::uint16_t mjd = r.U16();
    const std::uint32_t time = r.U24();
    return UnixFromMjdBcd(mjd, time);
}

}  // namespace talvex::tables
