#include "SectionPacketizer.h"

#include <algorithm>
#include <cstring>

namespace tunersim::stream::psi {
namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kPayloadSize = kPacketSize - kHeaderSize;

// Walks the sections as one byte stream.
class SectionBytes {
public:
    explicit SectionBytes(const std::vector<Section>& sections) : sections_(sections) { SkipEmpty(); }
    bool Done() const { return index_ == sections_.size(); }
    bool AtSectionStart() const { return offset_ == 0; }
    std::size_t LeftInSection() const { return sections_[index_].size() - offset_; }
    bool MoreAfterThis() const {
        for (std::size_t i = index_ + 1; i < sections_.size(); ++i)
            if (!sections_[i].empty()) return true;
        return false;
    }
    // Copies up to `room` bytes of the current section; moves to the next one at its end.
    std::size_t Take(uint8_t* to, std::size_t room) {
        const std::size_t n = std::min(room, LeftInSection());
        std::memcpy(to, sections_[index_].data() + offset_, n);
        offset_ += n;
        if (offset_ == sections_[index_].size()) {
            ++index_;
            offset_ = 0;
            SkipEmpty();
        }
        return n;
    }

private:
    void SkipEmpty() {
        while (index_ < sections_.size() && sections_[index_].empty()) ++index_;
    }
    const std::vector<Section>& sections_;
    std::size_t index_ = 0;
    std::size_t offset_ = 0;
};

}  // namespace

void PacketizeSections(uint16_t pid, const std::vector<Section>& sections, std::vector<Packet>& out) {
    SectionBytes bytes(sections);
    while (!bytes.Done()) {
        Packet packet;
        packet.fill(0xFF);
        uint8_t* payload = packet.data() + kHeaderSize;
        std::size_t used = 0;
        // Does a section begin in this packet? Either at once, or after the rest of the
        // current one, with at least one of its bytes behind the pointer_field.
        const std::size_t before = bytes.AtSectionStart() ? 0 : bytes.LeftInSection();
        const bool unitStart = before == 0 || (before + 1 < kPayloadSize && bytes.MoreAfterThis());
        WriteHeader(packet.data(), pid, unitStart, kPayloadOnly);
        if (unitStart) payload[used++] = static_cast<uint8_t>(before);
        if (before > 0) used += bytes.Take(payload + used, kPayloadSize - used);
        // Whole sections and the start of the next one, as far as the packet holds them.
        while (unitStart && !bytes.Done() && used < kPayloadSize) used += bytes.Take(payload + used, kPayloadSize - used);
        // Without a pointer, a packet only carries the middle or the end of one section;
        // stuffing fills what that section leaves, and the next one starts a packet.
        out.push_back(packet);
    }
}

}  // namespace tunersim::stream::psi
