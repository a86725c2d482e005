#include "StreamCensus.h"

#include "PacketAligner.h"

namespace ombrel::stream {
namespace {

constexpr std::uint16_t kNullPid = 0x1FFF;

}  // namespace

void StreamCensus::Count(const std::uint8_t* packets, std::size_t count, bool discontinuity) {
    if (discontinuity) Forget();
    for (std::size_t i = 0; i < count; ++i) CountPacket(packets + i * kPacketSize);
}

void StreamCensus::CountPacket(const std::uint8_t* p) {
    const std::uint16_t pid = static_cast<std::uint16_t>((p[1] & 0x1F) << 8 | p[2]);
    // A damaged packet's header cannot be trusted: counted, not read further, and its
    // PID's next counter not expected to follow on from it.
    if (p[1] & 0x80) {
        ++counts_.transportErrors;
        last_[pid] = kUnknown;
        return;
    }
    const std::uint8_t control = p[3] >> 4 & 3;
    if (pid == kNullPid || control == 0) return;  // no counter to follow (0: reserved)
    if (p[3] >> 6) ++counts_.scrambledPackets;

    const std::uint8_t counter = p[3] & 0x0F;
    const bool payload = control & 1;
    const bool signalled = (control & 2) && p[4] > 0 && (p[5] & 0x80);  // discontinuity_indicator
    const std::uint8_t last = last_[pid];
    last_[pid] = counter;
    if (last == kUnknown || signalled) return;
    const std::uint8_t previous = last & 0x0F;
    if (!payload) {
        // Without payload the counter stays where it was.
        if (counter != previous) ++counts_.continuityErrors;
    } else if (counter == ((previous + 1) & 0x0F)) {
        // In order.
    } else if (counter == previous && !(last & kRepeated)) {
        last_[pid] = counter | kRepeated;  // one duplicate packet is allowed
    } else {
        ++counts_.continuityErrors;
    }
}

}  // namespace ombrel::stream
