// A content clip: one elementary stream split into its access units (frames), all of one
// duration, that the simulated multiplexes play in a loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "Sky.h"

namespace tunersim::stream {

// Where an access unit lies in a clip's bytes.
struct UnitRange {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// What a clip parser finds: the access units in stream order and the duration of each.
struct ParsedClip {
    std::vector<UnitRange> units;
    uint32_t unitDuration90k = 0;
};

class Clip {
public:
    // Throws std::runtime_error when the bytes are not an elementary stream of that type
    // that can be played in a loop (see ClipParsers.h for what each parser requires).
    Clip(sky::StreamType type, std::vector<uint8_t> bytes);

    sky::StreamType Type() const { return type_; }
    std::size_t Count() const { return units_.size(); }
    std::span<const uint8_t> Unit(std::size_t i) const;
    uint32_t UnitDuration90k() const { return unitDuration90k_; }
    uint64_t LoopDuration90k() const { return static_cast<uint64_t>(Count()) * unitDuration90k_; }
    // Average bits per second over the loop, of the access units' bytes (without PES or TS).
    uint64_t Bitrate() const;
    // The largest access unit, in bytes.
    std::size_t LargestUnit() const { return largestUnit_; }

private:
    sky::StreamType type_;
    std::vector<uint8_t> bytes_;
    std::vector<UnitRange> units_;
    uint32_t unitDuration90k_ = 0;
    uint64_t unitBytes_ = 0;
    std::size_t largestUnit_ = 0;
};

// The file extension of a clip of that type: m2v, h264, mp2, ac3.
std::string_view ClipExtension(sky::StreamType type);

}  // namespace tunersim::stream
