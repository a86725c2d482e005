// One plain pass over the tuner categories without the library, as a control for the
// platform's own share of a storm's figures: every filter is listed, its friendly name
// and display name read, and it is bound and asked for its firmware version record,
// which is what the library does for each device it identifies.
#pragma once

#include "Watchdog.h"

namespace stress {

struct ScanCount {
    int listed = 0;
    int answered = 0;  // filters that answered the firmware version request
};

ScanCount ScanTunerCategories(Heartbeat& heart);

}  // namespace stress
