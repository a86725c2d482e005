#include "Pes.h"

#include <cstring>
#include <stdexcept>

namespace tunersim::stream {

uint8_t PesStreamId(sky::StreamType type) {
    switch (type) {
    case sky::StreamType::Mpeg2Video:
    case sky::StreamType::H264Video: return 0xE0;
    case sky::StreamType::Mpeg1Layer2Audio: return 0xC0;
    case sky::StreamType::Ac3Audio: return 0xBD;
    }
    throw std::invalid_argument("unknown stream type");
}

void WritePes(sky::StreamType type, uint64_t pts90k, std::span<const uint8_t> unit, std::vector<uint8_t>& pes) {
    // What follows PES_packet_length: the flag bytes, the header length and the PTS.
    const std::size_t length = kPesHeaderSize - 6 + unit.size();
    if (length > 0xFFFF && !sky::IsVideo(type)) {
        throw std::length_error("an audio access unit too long for a PES packet");
    }
    const uint16_t field = length > 0xFFFF ? 0 : static_cast<uint16_t>(length);
    const uint64_t pts = pts90k % kPtsModulus;
    pes.resize(kPesHeaderSize + unit.size());
    uint8_t* p = pes.data();
    p[0] = 0x00;
    p[1] = 0x00;
    p[2] = 0x01;
    p[3] = PesStreamId(type);
    p[4] = static_cast<uint8_t>(field >> 8);
    p[5] = static_cast<uint8_t>(field);
    p[6] = 0x84;  // '10', not scrambled, data_alignment_indicator
    p[7] = 0x80;  // PTS only
    p[8] = 5;     // PES_header_data_length
    // '0010', PTS[32..30], marker, PTS[29..15], marker, PTS[14..0], marker
    p[9] = static_cast<uint8_t>(0x21 | (pts >> 29 & 0x0E));
    p[10] = static_cast<uint8_t>(pts >> 22);
    p[11] = static_cast<uint8_t>(pts >> 14 | 0x01);
    p[12] = static_cast<uint8_t>(pts >> 7);
    p[13] = static_cast<uint8_t>(pts << 1 | 0x01);
    if (!unit.empty()) std::memcpy(p + kPesHeaderSize, unit.data(), unit.size());
}

ElementaryPlayer::ElementaryPlayer(const Clip& clip, uint64_t firstPts90k) : clip_(&clip), nextPts_(firstPts90k) {}

void ElementaryPlayer::NextPes(std::vector<uint8_t>& pes) {
    WritePes(clip_->Type(), nextPts_, clip_->Unit(next_), pes);
    nextPts_ += clip_->UnitDuration90k();
    ++played_;
    if (++next_ == clip_->Count()) next_ = 0;
}

}  // namespace tunersim::stream
