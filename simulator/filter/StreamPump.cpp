#include "StreamPump.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "BoxStream.h"
#include "SharedState.h"
#include "StreamPacing.h"

namespace tunersim {
namespace {

using Microsoft::WRL::ComPtr;

constexpr auto kTick = std::chrono::milliseconds(15);
constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class ComThread {
public:
    ComThread() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComThread(const ComThread&) = delete;
    ComThread& operator=(const ComThread&) = delete;
    ~ComThread() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

private:
    HRESULT hr_;
};

// What the box's record says this tick.
struct Reading {
    bool present = false;
    stream::BoxView view;
};

Reading ReadBox(const std::string& id, int64_t nowMs) {
    Reading r;
    StateLock lock = LockState();
    const layout::DeviceRecord* box = lock.Find(id);
    if (!box || !box->plugged) return r;
    r.present = true;
    r.view = stream::ViewOf(*box, nowMs);
    return r;
}

// One run of the stream: the box's emission, its pace and its continuity.
class Delivery {
public:
    Delivery(const PumpSetup& setup, const std::atomic<bool>& running, const std::atomic<REFERENCE_TIME>& start)
        : setup_(setup), running_(running), start_(start) {
        ALLOCATOR_PROPERTIES actual{};
        if (SUCCEEDED(setup_.allocator->GetProperties(&actual))) perSample_ = pacing::PacketsPerBuffer(actual.cbBuffer);
    }

    // False once the box is gone (or its stream cannot be made): nothing more to do.
    bool Tick() {
        const int64_t now = NowMs();
        Reading reading;
        try {
            reading = ReadBox(setup_.id, now);
            if (!reading.present) {
                Lost();
                return false;
            }
            box_.Follow(reading.view, now - kUnixEpochMs);
        } catch (...) {
            Notify(EC_ERRORABORT, E_FAIL, 0);
            return false;
        }
        const int64_t mono = MonotonicMs();
        if (!box_.Flowing()) {
            if (pacer_.Running()) watch_.Gap();
            pacer_.Stop();
            return true;
        }
        if (!pacer_.Running() || box_.Starts() != starts_) {
            pacer_.Start(mono, box_.Bitrate());
            starts_ = box_.Starts();
            watch_.Gap();
        }
        const pacing::Pacer::Due due = pacer_.Take(mono);
        if (due.skipped) {
            // Made and dropped, so that the stream's clock keeps step with the wall clock.
            scratch_.clear();
            box_.Make(static_cast<std::size_t>(due.skipped), scratch_);
            watch_.Gap();
        }
        packets_.clear();
        if (due.slots) box_.Make(static_cast<std::size_t>(due.slots), packets_);
        Deliver();
        return true;
    }

private:
    void Deliver() {
        if (!perSample_) return;
        const std::size_t total = packets_.size() / pacing::kPacketBytes;
        for (std::size_t sent = 0; sent < total;) {
            ComPtr<IMediaSample> sample;
            if (FAILED(setup_.allocator->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) {
                watch_.Gap();  // decommitted (stopping): the rest is lost
                return;
            }
            BYTE* data = nullptr;
            if (FAILED(sample->GetPointer(&data)) || !data) {
                watch_.Gap();
                return;
            }
            const std::size_t room = std::min(perSample_, pacing::PacketsPerBuffer(sample->GetSize()));
            const std::size_t n = std::min(room, total - sent);
            if (!n) return;
            const long bytes = static_cast<long>(n * pacing::kPacketBytes);
            std::memcpy(data, packets_.data() + sent * pacing::kPacketBytes, bytes);
            sample->SetActualDataLength(bytes);
            sample->SetDiscontinuity(watch_.TakeDiscontinuity() ? TRUE : FALSE);
            sample->SetSyncPoint(TRUE);
            Stamp(sample.Get(), bytes);
            if (setup_.input->Receive(sample.Get()) != S_OK) watch_.Gap();
            sent += n;
        }
    }

    // A live source's time stamp: the graph's stream time at which the packets were made.
    void Stamp(IMediaSample* sample, long bytes) {
        REFERENCE_TIME now = 0;
        if (!running_ || !setup_.clock || FAILED(setup_.clock->GetTime(&now))) {
            sample->SetTime(nullptr, nullptr);
            return;
        }
        REFERENCE_TIME begin = now - start_;
        const uint64_t bitrate = box_.Bitrate();
        REFERENCE_TIME end = begin + (bitrate ? static_cast<REFERENCE_TIME>(bytes * 8LL * kUnitsPerSecond /
                                                                            static_cast<long long>(bitrate))
                                              : 1);
        sample->SetTime(&begin, &end);
    }

    void Lost() {
        if (setup_.peer) setup_.peer->EndOfStream();
        Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(setup_.filter), 0);
    }

    void Notify(long code, LONG_PTR first, LONG_PTR second) {
        if (setup_.events) setup_.events->Notify(code, first, second);
    }

    const PumpSetup& setup_;
    const std::atomic<bool>& running_;
    const std::atomic<REFERENCE_TIME>& start_;
    stream::BoxStream box_{*setup_.clips};
    pacing::Pacer pacer_;
    pacing::ContinuityWatch watch_;
    uint32_t starts_ = 0;
    std::size_t perSample_ = 0;
    std::vector<uint8_t> packets_, scratch_;
};

}  // namespace

StreamPump::StreamPump(PumpSetup setup) : setup_(std::move(setup)), thread_([this] { Loop(); }) {}

StreamPump::~StreamPump() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

void StreamPump::Run(REFERENCE_TIME start) {
    start_ = start;
    running_ = true;
}

void StreamPump::Pause() { running_ = false; }

void StreamPump::RequestStop() {
    {
        std::lock_guard lock(wakeMutex_);
        stop_ = true;
    }
    wake_.notify_all();
}

void StreamPump::Loop() {
    ComThread com;
    try {
        Delivery delivery(setup_, running_, start_);
        for (;;) {
            {
                std::unique_lock lock(wakeMutex_);
                wake_.wait_for(lock, kTick, [this] { return stop_.load(); });
                if (stop_) return;
            }
            if (!delivery.Tick()) break;
        }
    } catch (...) {
        // Out of memory: the stream ends here.
        if (setup_.events) setup_.events->Notify(EC_ERRORABORT, E_OUTOFMEMORY, 0);
    }
    // Ended (the box went, or its stream could not be made): idle until the stop.
    std::unique_lock lock(wakeMutex_);
    wake_.wait(lock, [this] { return stop_.load(); });
}

}  // namespace tunersim
