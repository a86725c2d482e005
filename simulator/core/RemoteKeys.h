// The simulated box's remote control as plain functions on its record: pressed keys wait
// in a queue, a read of property 26 takes the oldest or waits for one, and a cancel (a set
// of property 27) releases a read that waits. The filter does the locking and the waiting.
//
// A cancel that finds no read waiting is remembered and releases the next read: the reader
// may be between two reads when its owner stops it, and that read must not wait for a key.
#pragma once

#include <cstdint>

#include "SharedLayout.h"

namespace tunersim::remote {

inline constexpr unsigned kKeyProperty = 26;     // get, 2 bytes: the key code
inline constexpr unsigned kCancelProperty = 27;  // set, no buffers
inline constexpr uint32_t kKeyLength = 2;

// One read of property 26, from its first look to its end.
struct Read {
    bool waiting = false;     // counted in the box's waitingReads
    uint32_t generation = 0;  // the box's cancelGeneration when it began to wait
};

enum class Step {
    Key,        // `key` holds the oldest pressed key
    Released,   // a cancel ended the read
    Failed,     // the injected fault: this read fails
    Unplugged,  // the box is gone
    Wait,       // nothing yet: wait to be woken, then look again
};

// One look at the box for a read. Every step but Wait ends the read.
Step Look(layout::DeviceRecord& device, Read& read, uint16_t& key);

// Ends a read that stops waiting for another reason (its caller gives up).
void Leave(layout::RemoteState& remote, Read& read);

// Queues a key; false when the queue is full and the key is dropped.
bool Press(layout::RemoteState& remote, uint16_t code);

enum class CancelOutcome {
    Taken,     // waiting reads are released, or the next read will be
    Ignored,   // the injected fault: answered as taken, nothing happens
    Rejected,  // a buffer or a length came with it
};
CancelOutcome Cancel(layout::RemoteState& remote, bool withoutBuffers);

}  // namespace tunersim::remote
