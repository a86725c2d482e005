// How the simulated driver answers the tuning, PID filter and LNB properties of one box:
// plain functions of the box's front-end state, its reception family and the wall
// clock. A tune (or a change of LNB, dish input or power) starts the front end
// settling; once the settle time has passed it reports what the sky offers there.
#pragma once

#include <cstdint>

#include "FrontEndSky.h"
#include "PropertyLogic.h"
#include "SharedLayout.h"

namespace tunersim::frontend {

// The state of a box when it is first plugged: power and automatic tuning on, a
// universal LNB, input A, nothing tuned, the PID filter passing the whole stream.
void Init(layout::FrontEndState& state);

// True for the properties (and directions) that the front end answers.
bool Serves(unsigned property, bool set);

// Answers of a set and of a get (which writes exactly the record's length into `data`).
// A property of a family that the model does not receive is unsupported.
property::Answer Set(layout::DeviceRecord& device, unsigned property, const uint8_t* data,
                     uint32_t length, int64_t nowMs);
property::Answer Get(const layout::DeviceRecord& device, unsigned property, uint8_t* data,
                     uint32_t length, int64_t nowMs);

// The tuning flag's values.
inline constexpr int32_t kFlagBusy = 0;
inline constexpr int32_t kFlagLocked = 1;
inline constexpr int32_t kFlagNoSignal = -1;

// What the front end reports at nowMs.
struct Reading {
    int32_t flag = kFlagBusy;
    bool settling = false;    // a tune is under way and its result not yet known
    Reception reception;      // what was found, once settled
    uint32_t strength = 0;
    uint32_t quality = 0;
    uint32_t bitErrorRate = 0;
    uint32_t lostBlocks = 0;  // since the lock
    uint32_t snrTenthsDb = 0;
};
Reading Read(const layout::DeviceRecord& device, int64_t nowMs);

}  // namespace tunersim::frontend
