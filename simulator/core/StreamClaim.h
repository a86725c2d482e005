// Who may take a box's stream: the rules behind the simulated filters' pins. One stream
// per box at a time across all processes, whichever driver model's filter runs it, and
// a BDA network tuner that feeds only the receiver component of its own box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunersim::claim {

// Name of the system-wide object that a running stream of box `id` holds (the id's
// letters in lower case, so that one box has one name however it is spelt).
std::string StreamObjectName(std::string_view id);

// A pin of a simulated filter: which box, which role (layout::Role), which direction.
struct Endpoint {
    std::string id;
    uint32_t role = 0;
    bool input = false;
};

enum class LinkVerdict {
    Accept,
    NotTunerOutput,    // the connecting pin is no network tuner's output
    NotReceiverInput,  // the peer is no receiver component's input pin
    OtherBox,          // a receiver's input, but of another box
};

// Whether `tunerOutput` may connect to `peer` (nullptr: a pin of another filter); both
// ends judge the link by it.
LinkVerdict JudgeTunerLink(const Endpoint& tunerOutput, const Endpoint* peer);

}  // namespace tunersim::claim
