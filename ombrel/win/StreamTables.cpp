#include "StreamTables.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace ombrel_cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPacketBytes = 188;
// What the streaming thread may leave waiting between two reads of the waiting thread;
// far more than a multiplex sends in the longest wait (38 Mbit/s: under 1 MB in 100 ms).
constexpr std::size_t kHeldLimitBytes = 16u << 20;
constexpr DWORD kLongestWaitMs = 100;

struct Batch {
    std::vector<std::uint8_t> bytes;
    bool discontinuity = false;
};

}  // namespace

// Where the streaming thread leaves packets for the waiting thread. Packets arriving
// while no read runs are not kept.
struct StreamTables::Inbox {
    std::mutex mutex;
    std::vector<Batch> batches;
    std::size_t heldBytes = 0;
    bool collecting = false;
    bool lostSome = false;  // packets dropped: the next batch does not follow on
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    ~Inbox() {
        if (wake) CloseHandle(wake);
    }

    static HRESULT OMBREL_CALL Receive(void* context, const unsigned char* packets, unsigned long count,
                                       BOOL discontinuity) {
        static_cast<Inbox*>(context)->Put(packets, count, discontinuity != FALSE);
        return S_OK;
    }

    void Put(const std::uint8_t* packets, std::size_t count, bool discontinuity) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!collecting) return;
            const std::size_t bytes = count * kPacketBytes;
            if (heldBytes + bytes > kHeldLimitBytes) {
                lostSome = true;
                return;
            }
            if (discontinuity || lostSome || batches.empty()) batches.push_back({{}, discontinuity || lostSome});
            lostSome = false;
            batches.back().bytes.insert(batches.back().bytes.end(), packets, packets + bytes);
            heldBytes += bytes;
        }
        SetEvent(wake);
    }

    std::vector<Batch> Take() {
        const std::lock_guard<std::mutex> lock(mutex);
        heldBytes = 0;
        return std::exchange(batches, {});
    }

    void Collect(bool on) {
        const std::lock_guard<std::mutex> lock(mutex);
        collecting = on;
        batches.clear();
        heldBytes = 0;
        // The first packets of a read follow nothing that the reader has seen.
        lostSome = on;
    }
};

std::string_view TablesEndText(TablesEnd end) {
    switch (end) {
    case TablesEnd::Complete: return "complete";
    case TablesEnd::TimedOut: return "timed out";
    case TablesEnd::Interrupted: return "interrupted";
    case TablesEnd::TunerLost: return "tuner lost";
    case TablesEnd::StreamFailed: break;
    }
    return "stream failed";
}

StreamTables::StreamTables(unsigned long handle)
    : inbox_(std::make_unique<Inbox>()), stream_(std::make_unique<TunerStream>(handle, &Inbox::Receive, inbox_.get())) {}

StreamTables::~StreamTables() {
    // The stream first: its callback writes into the inbox until it has stopped.
    stream_.reset();
}

HRESULT StreamTables::StartResult() const { return stream_->StartResult(); }

StreamTablesResult StreamTables::Read(const talvex::tables::Needs& needs, std::chrono::milliseconds timeout,
                                      HANDLE interrupt) {
    StreamTablesResult result;
    if (!stream_->Running()) {
        result.end = TablesEnd::StreamFailed;
        result.error = stream_->StartResult();
        return result;
    }
    talvex::tables::TableReader reader(needs);
    const Clock::time_point start = Clock::now();
    inbox_->Collect(true);
    for (;;) {
        for (const Batch& batch : inbox_->Take()) {
            reader.Feed(batch.bytes.data(), batch.bytes.size() / kPacketBytes, batch.discontinuity);
            result.packets += batch.bytes.size() / kPacketBytes;
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        result.elapsed = elapsed;
        if (reader.Complete()) {
            result.end = TablesEnd::Complete;
            break;
        }
        HRESULT reason = S_OK;
        const OBS_STREAM_EVENT event = stream_->Ended(reason);
        if (event != OBS_EVENT_NONE) {
            result.end = event == OBS_EVENT_DEVICE_LOST ? TablesEnd::TunerLost : TablesEnd::StreamFailed;
            result.error = event == OBS_EVENT_COMPLETE && SUCCEEDED(reason) ? E_ABORT : reason;
            break;
        }
        if (elapsed >= timeout) {
            result.end = TablesEnd::TimedOut;
            break;
        }
        const auto left = static_cast<DWORD>(std::min<long long>((timeout - elapsed).count(), kLongestWaitMs));
        if (WaitForPacketsOrInterrupt(inbox_->wake, interrupt, left)) {
            result.end = TablesEnd::Interrupted;
            break;
        }
    }
    inbox_->Collect(false);
    result.multiplex = reader.Result();
    if (result.end != TablesEnd::Complete) result.missing = reader.MissingText();
    return result;
}

StreamTablesResult ReadStreamTables(unsigned long handle, const talvex::tables::Needs& needs,
                                    std::chrono::milliseconds timeout, HANDLE interrupt) {
    StreamTables tables(handle);
    return tables.Read(needs, timeout, interrupt);
}

}  // namespace ombrel_cli
