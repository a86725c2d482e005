#include "PacketAligner.h"

#include <algorithm>

namespace ombrel::stream {

bool PacketAligner::Push(const std::uint8_t* data, std::size_t size, bool discontinuity, PacketOutput& output) {
    ++counts_.buffers;
    counts_.bytes += size;
    stopped_ = false;
    if (discontinuity) {
        // As at the end of a stream: a whole packet kept goes on, the start of a packet
        // whose rest will never come is dropped.
        if (!Finish(output)) return false;
        flagNext_ = true;
    }
    if (size == 0) return true;
    if (locked_) {
        const std::size_t used = ConsumeLocked(data, size, output);
        if (stopped_) return false;
        if (used == size) return true;
        data += used;
        size -= used;
    }
    hunt_.insert(hunt_.end(), data, data + size);
    while (FindBoundary()) {
        // From a confirmed boundary on, the kept bytes are read as a locked stream; what
        // follows a new loss of sync in them is hunted through again.
        locked_ = true;
        std::vector<std::uint8_t> buffer;
        buffer.swap(hunt_);
        const std::size_t used = ConsumeLocked(buffer.data(), buffer.size(), output);
        if (stopped_) return false;
        if (used == buffer.size()) return true;
        hunt_.insert(hunt_.end(), buffer.begin() + static_cast<std::ptrdiff_t>(used), buffer.end());
    }
    return true;
}

std::size_t PacketAligner::ConsumeLocked(const std::uint8_t* data, std::size_t size, PacketOutput& output) {
    std::size_t at = 0;
    if (!carry_.empty()) {
        // The kept packet goes on once the first byte after it is known to be a sync byte.
        const std::size_t take = std::min(kPacketSize + 1 - carry_.size(), size);
        carry_.insert(carry_.end(), data, data + take);
        if (carry_.size() <= kPacketSize) return size;
        if (carry_[kPacketSize] != kSyncByte) {
            // Cut short, or followed by bytes of no packet: hunt from its second byte on.
            ++counts_.syncLosses;
            locked_ = false;
            Drop(1);
            hunt_.insert(hunt_.end(), carry_.begin() + 1, carry_.end());
            carry_.clear();
            return take;
        }
        const bool delivered = Deliver(carry_.data(), 1, output);
        carry_.clear();
        at = take - 1;  // the next packet's sync byte
        if (!delivered) return Abandon(size - at, size);
    }
    const std::size_t runStart = at;
    while (at + kPacketSize < size && data[at] == kSyncByte && data[at + kPacketSize] == kSyncByte) at += kPacketSize;
    if (!Deliver(data + runStart, (at - runStart) / kPacketSize, output)) return Abandon(size - at, size);
    if (at + kPacketSize < size || (at < size && data[at] != kSyncByte)) {
        ++counts_.syncLosses;
        locked_ = false;
        if (data[at] != kSyncByte) return at;
        Drop(1);  // a packet not followed by a sync byte: hunt from its second byte on
        return at + 1;
    }
    carry_.assign(data + at, data + size);
    return size;
}

std::size_t PacketAligner::Abandon(std::size_t rest, std::size_t used) {
    Drop(rest);
    carry_.clear();
    locked_ = false;
    return used;
}

bool PacketAligner::FindBoundary() {
    const std::size_t size = hunt_.size();
    for (std::size_t i = 0; i < size; ++i) {
        if (hunt_[i] != kSyncByte) continue;
        bool refuted = false;
        bool confirmed = true;
        for (std::size_t k = 1; k < kSyncConfirmations; ++k) {
            const std::size_t next = i + k * kPacketSize;
            if (next >= size) {
                confirmed = false;
                break;
            }
            if (hunt_[next] != kSyncByte) {
                refuted = true;
                break;
            }
        }
        if (refuted) continue;
        // Confirmed, or not refuted by the bytes there are so far: keep from here. No
        // later position can be confirmed before this one is decided.
        Drop(i);
        hunt_.erase(hunt_.begin(), hunt_.begin() + static_cast<std::ptrdiff_t>(i));
        return confirmed;
    }
    Drop(size);
    hunt_.clear();
    return false;
}

bool PacketAligner::Finish(PacketOutput& output) {
    stopped_ = false;
    bool going = true;
    if (locked_) {
        // A whole packet kept for the byte after it: no byte will come.
        if (carry_.size() == kPacketSize) {
            going = Deliver(carry_.data(), 1, output);
            carry_.clear();
        }
    } else {
        // An unconfirmed boundary at the start of hunt_: its whole packets go on when each
        // one starts with a sync byte, since no more data will come to confirm them.
        std::size_t whole = hunt_.size() / kPacketSize;
        for (std::size_t k = 0; k < whole; ++k) {
            if (hunt_[k * kPacketSize] != kSyncByte) whole = k;
        }
        going = Deliver(hunt_.data(), whole, output);
        hunt_.erase(hunt_.begin(), hunt_.begin() + static_cast<std::ptrdiff_t>(whole * kPacketSize));
    }
    Reset();
    return going;
}

void PacketAligner::Reset() {
    Drop(carry_.size() + hunt_.size());
    carry_.clear();
    hunt_.clear();
    locked_ = false;
    // Whatever comes next does not continue what was handed on so far.
    flagNext_ = counts_.packets > 0;
}

bool PacketAligner::Deliver(const std::uint8_t* packets, std::size_t count, PacketOutput& output) {
    if (count == 0) return true;
    const bool discontinuity = flagNext_;
    flagNext_ = false;
    counts_.packets += count;
    counts_.discontinuities += discontinuity;
    if (output.Packets(packets, count, discontinuity)) return true;
    stopped_ = true;
    return false;
}

void PacketAligner::Drop(std::size_t bytes) {
    if (bytes == 0) return;
    counts_.droppedBytes += bytes;
    flagNext_ = true;
}

}  // namespace ombrel::stream
