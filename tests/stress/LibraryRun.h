// The runs against the library: the plug storm (with or without Romflux beside it) in
// the first process, and the worker threads of the second process.
#pragma once

#include "StressOptions.h"

namespace stress {

int RunLibraryStorm(const Options& options);
int RunSecondProcess(const Options& options);

}  // namespace stress
