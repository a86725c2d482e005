#include "Multiplexer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "es/ClipLibrary.h"
#include "es/TsPacketizer.h"
#include "psi/SectionPacketizer.h"
#include "psi/Tables.h"

namespace tunersim::stream {
namespace {

constexpr uint64_t kClockHz = 27000000;
constexpr uint64_t kTicksPerMs = kClockHz / 1000;
// Units go out this long before they are presented: video has a decoder buffer to fill,
// audio's buffer is small (3584 bytes in the system target decoder).
constexpr uint64_t kVideoLead90k = 36000;  // 400 ms
constexpr uint64_t kAudioLead90k = 9000;   // 100 ms
// Every stream's first unit is presented at this time on the stream's clock.
constexpr uint64_t kFirstPts90k = kVideoLead90k;

std::vector<Packet> Packetized(uint16_t pid, const std::vector<psi::Section>& sections) {
    std::vector<Packet> packets;
    psi::PacketizeSections(pid, sections, packets);
    return packets;
}

}  // namespace

Multiplexer::Multiplexer(const sky::Multiplex& multiplex, ClipLibrary& clips, int64_t startUnixMs,
                         ContinuityCounters& counters, bool discontinuity)
    : multiplex_(multiplex),
      counters_(counters),
      startUnixMs_(startUnixMs),
      bitrate_(sky::UsefulBitrate(multiplex)),
      discontinuity_(discontinuity) {
    const uint64_t bitsTicks = kPacketSize * 8 * kClockHz;
    tickQuotient_ = bitsTicks / bitrate_;
    tickRemainder_ = bitsTicks % bitrate_;

    null_.fill(0xFF);
    WriteHeader(null_.data(), kNullPid, false, kPayloadOnly);

    const bool atsc = sky::IsAtsc(multiplex);
    AddTable(TableKind::Fixed, kPatPid, Repetition::kPatMs, Packetized(kPatPid, psi::Pat(multiplex)));
    for (const auto& s : multiplex.services) {
        AddTable(TableKind::Fixed, s.pmtPid, Repetition::kPmtMs, Packetized(s.pmtPid, psi::Pmt(multiplex, s)));
        programs_.push_back({s.pcrPid, 0, true});
        for (const auto& es : s.streams) {
            const uint64_t lead = sky::IsVideo(es.type) ? kVideoLead90k : kAudioLead90k;
            ElementaryPlayer player(clips.Get(es.clip, es.type), kFirstPts90k);
            const uint64_t due = (player.NextPts() - lead) * 300;
            streams_.push_back({es.pid, lead, std::move(player), due});
        }
    }
    if (atsc) {
        AddTable(TableKind::Fixed, kAtscBasePid, Repetition::kMgtMs, Packetized(kAtscBasePid, psi::AtscMgt(multiplex)));
        AddTable(TableKind::Fixed, kAtscBasePid, Repetition::kVctMs, Packetized(kAtscBasePid, psi::AtscTvct(multiplex)));
        AddTable(TableKind::Stt, kAtscBasePid, Repetition::kSttMs, {});
    } else {
        AddTable(TableKind::Fixed, kSdtPid, Repetition::kSdtMs, Packetized(kSdtPid, psi::SdtActual(multiplex)));
        if (multiplex.networkId != 0)
            AddTable(TableKind::Fixed, kNitPid, Repetition::kNitMs, Packetized(kNitPid, psi::NitActual(multiplex.networkId)));
        for (const auto& s : multiplex.services) AddTable(TableKind::Eit, kEitPid, Repetition::kEitMs, {}, &s);
        AddTable(TableKind::Tdt, kTdtPid, Repetition::kTdtMs, {});
        AddTable(TableKind::Tot, kTdtPid, Repetition::kTotMs, {});
    }
    fifo_.reserve(1024);
}

void Multiplexer::AddTable(TableKind kind, uint16_t pid, uint32_t intervalMs, std::vector<Packet> packets,
                           const sky::Service* service) {
    tables_.push_back({kind, pid, intervalMs * kTicksPerMs, 0, service, std::move(packets)});
}

int64_t Multiplexer::UnixSecondsNow() const {
    const int64_t ms = startUnixMs_ + static_cast<int64_t>(clock_ / kTicksPerMs);
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

void Multiplexer::Queue(const std::vector<Packet>& packets) {
    if (head_ == fifo_.size()) {
        fifo_.clear();
        head_ = 0;
    }
    fifo_.insert(fifo_.end(), packets.begin(), packets.end());
}

std::vector<psi::Section> Multiplexer::TimedSections(const Table& table) const {
    const int64_t now = UnixSecondsNow();
    switch (table.kind) {
    case TableKind::Eit: return psi::EitPresentFollowing(multiplex_, *table.service, now);
    case TableKind::Tdt: return {psi::Tdt(now)};
    case TableKind::Tot: return {psi::Tot(now)};
    case TableKind::Stt: return {psi::AtscStt(now)};
    case TableKind::Fixed: break;
    }
    return {};
}

void Multiplexer::QueueTable(const Table& table) {
    if (table.kind == TableKind::Fixed) {
        Queue(table.packets);
        return;
    }
    scratch_.clear();
    psi::PacketizeSections(table.pid, TimedSections(table), scratch_);
    Queue(scratch_);
}

// Queues whatever fell due by now, in the order it fell due within this slot: PCRs are
// noted, tables and units queued. Then finds when the next thing falls due.
void Multiplexer::Schedule() {
    for (std::size_t i = 0; i < programs_.size(); ++i) {
        if (programs_[i].due <= clock_) {
            pcrPending_.push_back(i);
            programs_[i].due += Repetition::kPcrMs * kTicksPerMs;
        }
    }
    for (auto& table : tables_) {
        if (table.due <= clock_) {
            QueueTable(table);
            table.due += table.interval;
        }
    }
    for (auto& es : streams_) {
        while (es.due <= clock_) {
            es.player.NextPes(pes_);
            scratch_.clear();
            PacketizePes(es.pid, pes_, scratch_);
            Queue(scratch_);
            es.due = (es.player.NextPts() - es.lead90k) * 300;
        }
    }
    uint64_t next = std::numeric_limits<uint64_t>::max();
    for (const auto& p : programs_) next = std::min(next, p.due);
    for (const auto& t : tables_) next = std::min(next, t.due);
    for (const auto& es : streams_) next = std::min(next, es.due);
    nextDue_ = next;
}

// An adaptation-field-only packet on the program's PCR PID: it carries no payload, so
// the PID's continuity counter stays where it is.
void Multiplexer::WritePcr(uint8_t* out, Program& program) {
    std::memset(out, 0xFF, kPacketSize);
    WriteHeader(out, program.pcrPid, false, kAdaptationOnly);
    StampContinuity(out, static_cast<uint8_t>(counters_.next[program.pcrPid] - 1));
    out[4] = 183;
    out[5] = static_cast<uint8_t>(0x10 | (program.first && discontinuity_ ? 0x80 : 0));
    program.first = false;
    const uint64_t base = (clock_ / 300) & ((uint64_t{1} << 33) - 1);
    const uint64_t extension = clock_ % 300;
    out[6] = static_cast<uint8_t>(base >> 25);
    out[7] = static_cast<uint8_t>(base >> 17);
    out[8] = static_cast<uint8_t>(base >> 9);
    out[9] = static_cast<uint8_t>(base >> 1);
    out[10] = static_cast<uint8_t>((base & 1) << 7 | 0x7E | extension >> 8);
    out[11] = static_cast<uint8_t>(extension);
}

void Multiplexer::Make(uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, out += kPacketSize) {
        if (clock_ >= nextDue_) Schedule();
        if (!pcrPending_.empty()) {
            WritePcr(out, programs_[pcrPending_.front()]);
            pcrPending_.pop_front();
        } else if (head_ < fifo_.size()) {
            std::memcpy(out, fifo_[head_++].data(), kPacketSize);
            const uint16_t pid = PidOf(out);
            StampContinuity(out, counters_.next[pid]++);
        } else {
            std::memcpy(out, null_.data(), kPacketSize);
        }
        ++made_;
        clock_ += tickQuotient_;
        clockRemainder_ += tickRemainder_;
        if (clockRemainder_ >= bitrate_) {
            clockRemainder_ -= bitrate_;
            ++clock_;
        }
    }
}

}  // namespace tunersim::stream
