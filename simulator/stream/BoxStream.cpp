#include "BoxStream.h"

#include <algorithm>

#include "CaModule.h"
#include "FrontEndLogic.h"
#include "FrontEndRecords.h"

namespace tunersim::stream {
namespace {

uint32_t NextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Offset of the payload in a packet, kPacketSize when it has none.
std::size_t PayloadOffset(const uint8_t* p) {
    const uint8_t control = p[3] >> 4 & 3;
    if (control == kPayloadOnly) return 4;
    if (control == kAdaptationAndPayload) return std::min<std::size_t>(5 + p[4], kPacketSize);
    return kPacketSize;
}

}  // namespace

BoxView ViewOf(const layout::DeviceRecord& box, int64_t nowMs) {
    BoxView view;
    if (!box.used || !box.plugged) return view;
    const frontend::Reading reading = frontend::Read(box, nowMs);
    if (reading.flag != frontend::kFlagLocked || reading.reception.multiplex < 0) return view;
    view.multiplex = reading.reception.multiplex;
    const auto& state = box.frontEnd;
    for (uint16_t i = 0; i < state.pidCount && i < layout::kMaxPids; ++i) {
        if (state.pids[i] == frontend::kPidAll) {
            view.pass.set();
            break;
        }
        if (state.pids[i] < view.pass.size()) view.pass.set(state.pids[i]);
    }
    for (const auto& s : sky::Multiplexes()[view.multiplex].services)
        if (s.scrambled && ca::Descrambles(box.ci, s.id)) view.descrambled.push_back(s.id);
    return view;
}

void BoxStream::Follow(const BoxView& view, int64_t nowUnixMs) {
    if (view.multiplex != multiplexIndex_ || (view.multiplex >= 0 && !multiplexer_)) {
        multiplexer_.reset();
        multiplexIndex_ = view.multiplex;
        if (view.multiplex >= 0) {
            const sky::Multiplex& m = sky::Multiplexes()[view.multiplex];
            multiplexer_ = std::make_unique<Multiplexer>(m, clips_, nowUnixMs, counters_, starts_ > 0);
            ++starts_;
            const uint64_t perMinute = m.figures.lostBlocksPerMinute;
            const uint64_t packetsPerMinute = multiplexer_->Bitrate() * 60 / (kPacketSize * 8);
            errorInterval_ = perMinute ? packetsPerMinute / perMinute : 0;
            untilError_ = errorInterval_ ? 1 + NextRandom(random_) % errorInterval_ : 0;
            dropPending_ = damagePending_ = false;
        }
    }
    pass_ = view.pass;
    scrambledPids_.reset();
    if (multiplexer_) {
        for (const auto& s : multiplexer_->Definition().services) {
            if (!s.scrambled ||
                std::find(view.descrambled.begin(), view.descrambled.end(), s.id) != view.descrambled.end())
                continue;
            for (const auto& es : s.streams) scrambledPids_.set(es.pid);
        }
    }
}

// A lost block falls on the stream at its rate; it shows on the next packet that carries
// something (a damaged null packet would go unseen): that packet arrives with
// transport_error_indicator set, and the packet with payload after it is lost, so its
// PID's continuity counter skips one.
void BoxStream::Damage(uint8_t* packet) {
    if (!errorInterval_) return;
    if (--untilError_ == 0) {
        damagePending_ = true;
        // Spread around the mean interval: half to one and a half of it.
        untilError_ = errorInterval_ / 2 + 1 + NextRandom(random_) % (errorInterval_ + 1);
    }
    if (damagePending_ && PidOf(packet) != kNullPid) {
        packet[1] |= 0x80;
        damagePending_ = false;
        dropPending_ = true;
    }
}

// transport_scrambling_control "10" and a payload no decoder can read; the adaptation
// field (and with it the PCR) stays clear, as a scrambler leaves it.
void BoxStream::Scramble(uint8_t* packet) {
    const std::size_t from = PayloadOffset(packet);
    if (from >= kPacketSize) return;
    packet[3] = static_cast<uint8_t>((packet[3] & 0x3F) | 0x80);
    uint32_t key = 0x9E3779B9u ^ (static_cast<uint32_t>(packet[3] & 0x0F) << 16) ^ PidOf(packet);
    for (std::size_t i = from; i < kPacketSize; ++i) packet[i] ^= static_cast<uint8_t>(NextRandom(key));
}

std::size_t BoxStream::Make(std::size_t slots, std::vector<uint8_t>& out) {
    if (!multiplexer_ || slots == 0) return 0;
    batch_.resize(slots * kPacketSize);
    multiplexer_->Make(batch_.data(), slots);
    const std::size_t before = out.size();
    out.resize(before + batch_.size());
    uint8_t* to = out.data() + before;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < slots; ++i) {
        uint8_t* p = batch_.data() + i * kPacketSize;
        const uint16_t pid = PidOf(p);
        if (dropPending_ && pid != kNullPid && HasPayload(p)) {
            dropPending_ = false;
            continue;
        }
        Damage(p);
        if (!pass_.test(pid)) continue;
        if (scrambledPids_.test(pid)) Scramble(p);
        std::copy(p, p + kPacketSize, to + kept * kPacketSize);
        ++kept;
    }
    out.resize(before + kept * kPacketSize);
    return kept;
}

}  // namespace tunersim::stream
