#include "Clip.h"

#include <algorithm>
#include <stdexcept>

#include "ClipParsers.h"

namespace tunersim::stream {

std::string_view ClipExtension(sky::StreamType type) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return "m2v";
    case sky::StreamType::H264Video: return "h264";
    case sky::StreamType::Mpeg1Layer2Audio: return "mp2";
    case sky::StreamType::Ac3Audio: return "ac3";
    }
    throw std::invalid_argument("unknown stream type");
}

namespace {

ParsedClip Parse(sky::StreamType type, std::span<const uint8_t> bytes) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return ParseMpeg2Video(bytes);
    case sky::StreamType::H264Video: return ParseH264(bytes);
    case sky::StreamType::Mpeg1Layer2Audio: return ParseMpegAudioLayer2(bytes);
    case sky::StreamType::Ac3Audio: return ParseAc3(bytes);
    }
    throw std::invalid_argument("unknown stream type");
}

}  // namespace

Clip::Clip(sky::StreamType type, std::vector<uint8_t> bytes) : type_(type), bytes_(std::move(bytes)) {
    ParsedClip parsed = Parse(type_, bytes_);
    units_ = std::move(parsed.units);
    unitDuration90k_ = parsed.unitDuration90k;
    for (const auto& u : units_) {
        unitBytes_ += u.size;
        largestUnit_ = std::max(largestUnit_, u.size);
    }
}

std::span<const uint8_t> Clip::Unit(std::size_t i) const {
    const UnitRange& u = units_.at(i);
    return std::span<const uint8_t>(bytes_).subspan(u.offset, u.size);
}

uint64_t Clip::Bitrate() const {
    // Bytes over ticks stays far inside 64 bits: a clip's bytes fit in memory.
    return unitBytes_ * 8 * 90000 / LoopDuration90k();
}

}  // namespace tunersim::stream
