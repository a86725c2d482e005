#include "SectionAssembler.h"

#include <algorithm>

#include "SectionCrc.h"

namespace talvex::tables {

namespace {
constexpr std::uint8_t kStuffing = 0xFF;
constexpr std::size_t kHeaderSize = 3;
}  // namespace

std::size_t SectionAssembler::MaxSectionLength(std::uint8_t tableId) {
    const bool eit = tableId >= 0x4E && tableId <= 0x6F;
    const bool isoPrivate = tableId >= 0x80 && tableId != 0xFF;  // ATSC PSIP among them
    return eit || isoPrivate ? 4093 : 1021;
}

bool SectionAssembler::HasCrc(std::uint8_t tableId, bool longForm) { return longForm || tableId == 0x73; }

void SectionAssembler::Reset() {
    section_.clear();
    collecting_ = false;
    expected_ = 0;
    lastContinuity_ = -1;
}

void SectionAssembler::Feed(const PacketView& packet, AssemblyCounts& counts, const Sink& sink) {
    if (packet.discontinuity) {
        section_.clear();
        collecting_ = false;
        expected_ = 0;
        lastContinuity_ = -1;
    }
    if (!packet.hasPayload) return;  // the counter only counts packets with a payload
    if (lastContinuity_ >= 0) {
        if (packet.continuity == lastContinuity_) return;  // a repeated packet
        if (packet.continuity != ((lastContinuity_ + 1) & 0x0F)) {
            ++counts.continuityGaps;
            section_.clear();
            collecting_ = false;
            expected_ = 0;
        }
    }
    lastContinuity_ = packet.continuity;

    const std::uint8_t* p = packet.payload;
    std::size_t size = packet.payloadSize;
    if (!packet.unitStart) {
        if (collecting_) Take(p, size, counts, sink);
        return;
    }
    const std::size_t pointer = p[0];
    ++p, --size;
    if (pointer > size) {  // points beyond the packet: nothing in it can be placed
        ++counts.badSections;
        section_.clear();
        collecting_ = false;
        expected_ = 0;
        return;
    }
    if (collecting_) Take(p, pointer, counts, sink);
    if (collecting_) {  // the section begun ends where a new one starts only if it was short
        ++counts.badSections;
        section_.clear();
        collecting_ = false;
        expected_ = 0;
    }
    p += pointer, size -= pointer;
    while (size > 0 && p[0] != kStuffing) {
        collecting_ = true;
        section_.clear();
        expected_ = 0;
        const std::size_t used = Take(p, size, counts, sink);
        p += used, size -= used;
        if (collecting_ || used == 0) break;  // runs into the next packet, or was dropped
    }
}

std::size_t SectionAssembler::Take(const std::uint8_t* data, std::size_t size, AssemblyCounts& counts,
                                   const Sink& sink) {
    std::size_t used = 0;
    if (expected_ == 0) {
        const std::size_t n = std::min(kHeaderSize - section_.size(), size);
        section_.insert(section_.end(), data, data + n);
        used += n;
        if (section_.size() < kHeaderSize) return used;
        const std::size_t length = static_cast<std::size_t>(section_[1] & 0x0F) << 8 | section_[2];
        const bool longForm = (section_[1] & 0x80) != 0;
        // A long-form section has at least its five header bytes and the CRC after the length.
        if (length > MaxSectionLength(section_[0]) || (longForm && length < 9) ||
            (HasCrc(section_[0], longForm) && length < 4)) {
            ++counts.badSections;
            section_.clear();
            collecting_ = false;
            return size;  // what follows in this packet cannot be trusted either
        }
        expected_ = kHeaderSize + length;
        section_.reserve(expected_);
    }
    const std::size_t n = std::min(expected_ - section_.size(), size - used);
    section_.insert(section_.end(), data + used, data + used + n);
    used += n;
    if (section_.size() == expected_) Finish(counts, sink);
    return used;
}

void SectionAssembler::Finish(AssemblyCounts& counts, const Sink& sink) {
    collecting_ = false;
    expected_ = 0;
    const bool longForm = (section_[1] & 0x80) != 0;
    if (HasCrc(section_[0], longForm) && Crc32Mpeg(section_.data(), section_.size()) != 0) {
        ++counts.crcErrors;
    } else {
        sink(section_.data(), section_.size());
    }
    section_.clear();
}

}  // namespace talvex::tables
