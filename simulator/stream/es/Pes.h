// PES packets of the content clips (ISO/IEC 13818-1 2.4.3.6): one per access unit,
// aligned to it, with its PTS (decode order is display order, so no DTS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "Clip.h"

namespace tunersim::stream {

inline constexpr uint64_t kPtsModulus = uint64_t{1} << 33;
// start code prefix, stream_id, PES_packet_length, two flag bytes, header length, PTS
inline constexpr std::size_t kPesHeaderSize = 14;

// 0xE0 for video, 0xC0 for MPEG audio, 0xBD (private_stream_1) for AC-3.
uint8_t PesStreamId(sky::StreamType type);

// Replaces `pes` with the PES packet of one access unit presented at `pts90k` (taken
// mod 2^33). PES_packet_length is 0 for a video unit too long for it; an audio unit that
// long throws std::length_error. Allocates only when `pes` must grow.
void WritePes(sky::StreamType type, uint64_t pts90k, std::span<const uint8_t> unit, std::vector<uint8_t>& pes);

// Plays a clip as PES packets, one per access unit, looping for ever; timestamps run on
// across loops by the unit duration (mod 2^33 in the packets). The clip must outlive
// the player.
class ElementaryPlayer {
public:
    ElementaryPlayer(const Clip& clip, uint64_t firstPts90k);

    // The PTS of the next access unit, unbounded (not wrapped).
    uint64_t NextPts() const { return nextPts_; }
    // The size of the next PES packet in bytes.
    std::size_t NextPesSize() const { return kPesHeaderSize + clip_->Unit(next_).size(); }
    // Replaces `pes` with the next unit's PES packet and moves on.
    void NextPes(std::vector<uint8_t>& pes);

    const Clip& GetClip() const { return *clip_; }
    // Access units played so far, over every loop.
    uint64_t UnitsPlayed() const { return played_; }

private:
    const Clip* clip_;
    std::size_t next_ = 0;
    uint64_t nextPts_;
    uint64_t played_ = 0;
};

}  // namespace tunersim::stream
