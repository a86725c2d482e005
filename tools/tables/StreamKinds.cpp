#include "StreamKinds.h"

#include <algorithm>
#include <cstdio>

namespace talvex::tables {
namespace {

// EN 300 468 descriptor tags that name what private data carries.
constexpr std::uint8_t kTeletextDescriptor = 0x56;
constexpr std::uint8_t kSubtitlingDescriptor = 0x59;
constexpr std::uint8_t kAc3Descriptor = 0x6A;
constexpr std::uint8_t kEnhancedAc3Descriptor = 0x7A;
constexpr std::uint8_t kDtsDescriptor = 0x7B;
constexpr std::uint8_t kAacDescriptor = 0x7C;

bool Has(const ElementaryStream& stream, std::uint8_t tag) {
    return std::find(stream.descriptorTags.begin(), stream.descriptorTags.end(), tag) != stream.descriptorTags.end();
}

// The format of private data, from the first descriptor that names one; none otherwise.
const char* PrivateDataFormat(const ElementaryStream& stream) {
    for (std::uint8_t tag : stream.descriptorTags) {
        switch (tag) {
        case kAc3Descriptor: return "AC-3 audio";
        case kEnhancedAc3Descriptor: return "E-AC-3 audio";
        case kDtsDescriptor: return "DTS audio";
        case kAacDescriptor: return "AAC audio";
        case kTeletextDescriptor: return "teletext";
        case kSubtitlingDescriptor: return "DVB subtitles";
        default: break;
        }
    }
    return nullptr;
}

}  // namespace

StreamKind KindOf(const ElementaryStream& stream) {
    switch (stream.streamType) {
    case 0x01: case 0x02: case 0x10: case 0x1B: case 0x24:
        return StreamKind::Video;
    case 0x03: case 0x04: case 0x0F: case 0x11: case 0x81: case 0x87:
        return StreamKind::Audio;
    case 0x06:
        if (Has(stream, kAc3Descriptor) || Has(stream, kEnhancedAc3Descriptor) || Has(stream, kDtsDescriptor) ||
            Has(stream, kAacDescriptor))
            return StreamKind::Audio;
        if (Has(stream, kTeletextDescriptor)) return StreamKind::Teletext;
        if (Has(stream, kSubtitlingDescriptor)) return StreamKind::Subtitles;
        return StreamKind::Other;
    default:
        return StreamKind::Other;
    }
}

std::string FormatText(const ElementaryStream& stream) {
    switch (stream.streamType) {
    case 0x01: return "MPEG-1 video";
    case 0x02: return "MPEG-2 video";
    case 0x03: return "MPEG-1 audio";
    case 0x04: return "MPEG-2 audio";
    case 0x05: return "private sections";
    case 0x06: {
        const char* format = PrivateDataFormat(stream);
        return format ? format : "private data";
    }
    case 0x0F: return "AAC audio";
    case 0x10: return "MPEG-4 video";
    case 0x11: return "AAC (LATM) audio";
    case 0x1B: return "H.264 video";
    case 0x24: return "HEVC video";
    case 0x81: return "AC-3 audio";
    case 0x87: return "E-AC-3 audio";
    default: {
        char text[24];
        std::snprintf(text, sizeof text, "stream type 0x%02X", static_cast<unsigned>(stream.streamType));
        return text;
    }
    }
}

}  // namespace talvex::tables
