#include "SectionRepacker.h"

#include <algorithm>

#include "TsPacketView.h"

namespace talvex::tables {

void SectionRepacker::Push(const std::vector<std::uint8_t>& section) {
    if (section.empty() || queued_.size() + section.size() > kMaxQueued) return;
    starts_.push_back(queued_.size());
    queued_.insert(queued_.end(), section.begin(), section.end());
}

bool SectionRepacker::Pop(std::uint8_t* p) {
    if (queued_.empty()) return false;
    std::fill(p, p + kPacketSize, 0xFF);
    p[0] = kSyncByte;
    p[1] = static_cast<std::uint8_t>(pid_ >> 8 & 0x1F);
    p[2] = static_cast<std::uint8_t>(pid_);
    p[3] = static_cast<std::uint8_t>(0x10 | continuity_);  // payload only
    continuity_ = (continuity_ + 1) & 0x0F;
    std::size_t at = 4;
    std::size_t n = queued_.size();
    const std::size_t next = starts_.empty() ? queued_.size() : starts_.front();
    if (next < kPacketSize - 5) {
        // A section starts here (with at least one of its bytes in this packet).
        p[1] |= 0x40;
        p[at++] = static_cast<std::uint8_t>(next);
    } else {
        n = std::min(n, next);  // only a pointer_field may start a section: stuffing instead
    }
    n = std::min(n, kPacketSize - at);
    std::copy(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n), p + at);
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
    // Sections begun in this packet are under way; the others move up.
    while (!starts_.empty() && starts_.front() < n) starts_.erase(starts_.begin());
    for (std::size_t& s : starts_) s -= n;
    return true;
}

}  // namespace talvex::tables
