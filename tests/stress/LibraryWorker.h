// A worker thread of a library run: counts the devices, opens one by index (any, WDM
// or BDA, sometimes one past the end), asks it for its strings, versions, temperature
// and attached state, and closes it, over and over until told to stop.
//
// A fault is a handle from a successful open that answers 2 (unknown handle) before
// it is closed, a code outside the contract, a close that fails, or a GUID text that
// is no plugged tuner's.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Tally.h"
#include "Watchdog.h"

namespace stress {

struct WorkerShared {
    Tally& tally;
    const std::set<std::string>& guidStrings;  // of every tuner the storm plugs
};

void RunLibraryWorker(unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart, const WorkerShared& shared);

// What a worker thread runs until `stop` is set: the library worker above, or the
// worker of another run.
using WorkerBody = std::function<void(unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart)>;

// The worker threads of one process. Their heartbeats exist from construction (for
// the watchdog); the threads from Start to Stop.
class WorkerPool {
public:
    WorkerPool(int threads, const WorkerShared& shared);
    WorkerPool(int threads, WorkerBody body);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();

    std::vector<const Heartbeat*> Hearts() const;
    void Start();
    // Tells the threads to stop and joins them.
    void Stop();

private:
    WorkerBody body_;
    std::atomic<bool> stop_{false};
    std::vector<std::unique_ptr<Heartbeat>> hearts_;
    std::vector<std::thread> threads_;
};

}  // namespace stress
