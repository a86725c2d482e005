// What a channel file's or a NIT's delivery asks of the front end: the tune arguments
// that 'tune' would read from a command line for it. Both 'record --channel' and 'scan'
// plan their tunes from these through PlanTune, so that they refuse what 'tune' refuses.
#pragma once

#include "ChannelFile.h"
#include "TuneArguments.h"

#include <chrono>

namespace ombrel_cli {

// With the family the delivery needs, so that a tuner of another family is refused as
// 'tune' refuses it.
TuneArguments TuneArgumentsFor(const Delivery& delivery, std::chrono::milliseconds timeout);

}  // namespace ombrel_cli
