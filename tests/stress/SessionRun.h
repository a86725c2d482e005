// The Common Interface and remote-control runs against the library: the module storm or
// the key stream in the first process, session workers in both.
#pragma once

#include "StressOptions.h"

namespace stress {

int RunSessionStorm(const Options& options);
int RunSessionSecondProcess(const Options& options);

}  // namespace stress
