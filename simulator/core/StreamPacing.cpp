#include "StreamPacing.h"

#include <algorithm>

namespace tunersim::pacing {
namespace {

constexpr uint64_t kBitsPerSlotMs = kPacketBytes * 8 * 1000;  // bits of a packet, per ms
constexpr long kOwnCount = 16;
constexpr long kOwnPackets = 348;  // 65424 bytes

}  // namespace

void Pacer::Start(int64_t nowMs, uint64_t bitrate) {
    originMs_ = nowMs;
    bitrate_ = bitrate;
    taken_ = 0;
}

uint64_t Pacer::DueBy(int64_t nowMs) const {
    if (!bitrate_ || nowMs <= originMs_) return 0;
    // Split the product so that days of elapsed time at any bitrate stay within 64 bits.
    const uint64_t elapsed = static_cast<uint64_t>(nowMs - originMs_);
    const uint64_t seconds = elapsed / 1000, ms = elapsed % 1000;
    return seconds * bitrate_ / (kPacketBytes * 8) +
           (seconds * bitrate_ % (kPacketBytes * 8) * 1000 + ms * bitrate_) / kBitsPerSlotMs;
}

Pacer::Due Pacer::Take(int64_t nowMs) {
    Due due;
    const uint64_t total = DueBy(nowMs);
    if (total <= taken_) return due;
    due.slots = total - taken_;
    const uint64_t bound = std::max<uint64_t>(1, static_cast<uint64_t>(maxBehindMs_) * bitrate_ / kBitsPerSlotMs);
    if (due.slots > bound) {
        due.skipped = due.slots - bound;
        due.slots = bound;
    }
    taken_ = total;
    return due;
}

BufferPlan PlanBuffers(long wantedCount, long wantedBytes) {
    BufferPlan plan{kOwnCount, kOwnPackets * kPacketBytes};
    plan.count = std::max(plan.count, wantedCount);
    if (wantedBytes > plan.bytes) {
        const long packets = (wantedBytes + kPacketBytes - 1) / kPacketBytes;
        plan.bytes = packets * kPacketBytes;
    }
    return plan;
}

std::size_t PacketsPerBuffer(long bytes) { return bytes > 0 ? static_cast<std::size_t>(bytes / kPacketBytes) : 0; }

}  // namespace tunersim::pacing
