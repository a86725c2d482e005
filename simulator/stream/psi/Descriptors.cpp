#include "Descriptors.h"

#include <algorithm>

#include "BroadcastTime.h"
#include "DvbText.h"

namespace tunersim::stream::psi {
namespace {

// Opens a descriptor; CloseDescriptor fills its length from what followed.
std::size_t OpenDescriptor(Bytes& out, uint8_t tag) {
    Put8(out, tag);
    Put8(out, 0);
    return out.size() - 1;
}
void CloseDescriptor(Bytes& out, std::size_t lengthAt) {
    out[lengthAt] = static_cast<uint8_t>(out.size() - lengthAt - 1);
}

// At most 42 streams: 3 + 6 bytes each within the descriptor's 255.
constexpr std::size_t kMaxLocatedStreams = (kMaxDescriptorPayload - 3) / 6;

}  // namespace

void PutLanguageCode(Bytes& out, std::string_view code) {
    for (std::size_t i = 0; i < 3; ++i) Put8(out, i < code.size() ? static_cast<uint8_t>(code[i]) : ' ');
}

void PutCaDescriptor(Bytes& out, uint16_t caSystemId, uint16_t caPid) {
    const auto at = OpenDescriptor(out, 0x09);
    Put16(out, caSystemId);
    Put16(out, 0xE000 | (caPid & 0x1FFF));
    CloseDescriptor(out, at);
}

void PutLanguageDescriptor(Bytes& out, std::string_view language) {
    const auto at = OpenDescriptor(out, 0x0A);
    PutLanguageCode(out, language);
    Put8(out, 0x00);  // audio_type: undefined (an ordinary audio track)
    CloseDescriptor(out, at);
}

void PutDvbAc3Descriptor(Bytes& out) {
    const auto at = OpenDescriptor(out, 0x6A);
    Put8(out, 0x00);  // no component_type, bsid, mainid or asvc field
    CloseDescriptor(out, at);
}

void PutAtscAc3Descriptor(Bytes& out, std::string_view language) {
    const auto at = OpenDescriptor(out, 0x81);
    Put8(out, 0 << 5 | 8);           // sample_rate_code 48 kHz, bsid 8
    Put8(out, 14 << 2 | 0);          // bit_rate_code 384 kbit/s exactly, surround_mode not indicated
    Put8(out, 0 << 5 | 2 << 1 | 1);  // bsmod complete main, num_channels 2/0, full_svc
    Put8(out, 0xFF);                 // langcod: unused, the language follows below
    Put8(out, 0 << 5 | 1 << 3 | 7);  // mainid 0, priority primary, reserved
    Put8(out, 0x00);                 // textlen 0
    Put8(out, 0x80 | 0x3F);          // language_flag, no second language, reserved
    PutLanguageCode(out, language);
    CloseDescriptor(out, at);
}

void PutServiceLocationDescriptor(Bytes& out, const sky::Service& service) {
    const auto at = OpenDescriptor(out, 0xA1);
    Put16(out, 0xE000 | (service.pcrPid & 0x1FFF));
    const std::size_t count = std::min(service.streams.size(), kMaxLocatedStreams);
    Put8(out, static_cast<uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const auto& es = service.streams[i];
        Put8(out, StreamTypeOf(es.type, true));
        Put16(out, 0xE000 | (es.pid & 0x1FFF));
        if (es.language.empty())
            Put24(out, 0);  // no language: video
        else
            PutLanguageCode(out, es.language);
    }
    CloseDescriptor(out, at);
}

void PutNetworkNameDescriptor(Bytes& out, const sky::Text& name) {
    const auto at = OpenDescriptor(out, 0x40);
    Append(out, EncodeDvbText(name, kMaxDescriptorPayload));
    CloseDescriptor(out, at);
}

void PutServiceDescriptor(Bytes& out, uint8_t serviceType, const sky::Text& provider, const sky::Text& name) {
    // service_type and two length bytes leave 252 for both names. When they do not fit
    // together, the service's own name keeps at least half.
    constexpr std::size_t kNames = kMaxDescriptorPayload - 3;
    const auto providerFull = EncodeDvbText(provider, kNames);
    const auto nameBytes = EncodeDvbText(name, std::max(kNames / 2, kNames - providerFull.size()));
    const auto providerBytes = EncodeDvbText(provider, kNames - nameBytes.size());
    const auto at = OpenDescriptor(out, 0x48);
    Put8(out, serviceType);
    Put8(out, static_cast<uint8_t>(providerBytes.size()));
    Append(out, providerBytes);
    Put8(out, static_cast<uint8_t>(nameBytes.size()));
    Append(out, nameBytes);
    CloseDescriptor(out, at);
}

void PutShortEventDescriptor(Bytes& out, std::string_view language, const sky::Text& title) {
    // language, name length, text length: 5 bytes; no event text.
    const auto titleBytes = EncodeDvbText(title, kMaxDescriptorPayload - 5);
    const auto at = OpenDescriptor(out, 0x4D);
    PutLanguageCode(out, language);
    Put8(out, static_cast<uint8_t>(titleBytes.size()));
    Append(out, titleBytes);
    Put8(out, 0);
    CloseDescriptor(out, at);
}

void PutLocalTimeOffsetDescriptor(Bytes& out, int64_t unixSeconds) {
    const LocalTimeOffset offset = LocalOffsetAt(unixSeconds);
    const auto bcdOffset = [](int minutes) {
        const int magnitude = minutes < 0 ? -minutes : minutes;
        return static_cast<uint16_t>(Bcd(static_cast<uint32_t>(magnitude / 60), 2) << 8 |
                                     Bcd(static_cast<uint32_t>(magnitude % 60), 2));
    };
    const auto at = OpenDescriptor(out, 0x58);
    PutLanguageCode(out, kLocalCountry);
    // country_region_id 0 (the whole country), reserved, polarity: 0 ahead of UTC.
    Put8(out, 0 << 2 | 0x02 | (offset.minutes < 0 ? 1 : 0));
    Put16(out, bcdOffset(offset.minutes));
    PutUtcTime(out, offset.timeOfChange);
    Put16(out, bcdOffset(offset.nextMinutes));
    CloseDescriptor(out, at);
}

uint8_t StreamTypeOf(sky::StreamType type, bool atsc) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return 0x02;
    case sky::StreamType::H264Video: return 0x1B;
    case sky::StreamType::Mpeg1Layer2Audio: return 0x03;
    case sky::StreamType::Ac3Audio: return atsc ? 0x81 : 0x06;
    }
    return 0x06;
}

uint8_t DvbServiceType(const sky::Service& service) {
    if (service.kind == sky::ServiceKind::Radio) return 0x02;
    for (const auto& es : service.streams)
        if (es.type == sky::StreamType::H264Video) return 0x19;
    return 0x01;
}

}  // namespace tunersim::stream::psi
