// A worker thread of the Common Interface or remote-control run: opens a handle on a
// random tuner, registers its window for the handle, and opens a CI session (with a few
// session calls) or starts a remote-control reader; holds it for a while taking the
// messages that arrive; then closes the session or stops the reader (now and then by
// closing the handle instead), takes what was queued before, and closes the handle. Over
// and over until told to stop.
//
// Faults: a code outside the contract (5 on a CI model, 2 for a handle from a
// successful open before it is closed, a close or stop of the owner that fails), two
// sessions or readers on one device at once in either process (the census), a message
// that the ledger refuses (not the owner's, after the close, out of the module's order,
// a key out of order), a key received twice in either process, and a stop that takes
// longer than its bound.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceCensus.h"
#include "StressOptions.h"
#include "Tally.h"
#include "Watchdog.h"

namespace stress {

// Counts of one process's workers, besides the tally's.
struct SessionCounts {
    std::mutex lock;
    std::map<unsigned, long long> messages;  // by message number
    std::atomic<long long> sessions{0};      // sessions opened (readers started)
    std::atomic<long long> refused{0};       // opens (starts) refused with 1 or 4
    std::atomic<long long> inUse{0};         // of those, 4: held by the other process
    std::atomic<long long> handleCloses{0};  // sessions (readers) ended by closing the handle
    std::atomic<unsigned long> longestStopMs{0};
};

struct SessionShared {
    Run run;  // Ci or Remote
    Tally& tally;
    SessionCounts& counts;
    DeviceCensus& census;
    const std::vector<std::string>& guids;  // the GUID text of each tuner, by census slot
};

void RunSessionWorker(unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart, const SessionShared& shared);

// "ci sessions: 812 opened, 1650 refused (790 held by the other process), 101 ended by
// closing the handle; messages 0x404 120, ...; longest stop 51 ms" for the report.
std::string DescribeCounts(Run run, SessionCounts& counts);

}  // namespace stress
