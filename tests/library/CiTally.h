// What the processes of the Common Interface stress test count, in a shared mapping.
#pragma once

#include <windows.h>

namespace citest {

struct Tally {
    LONG holders;        // processes that hold the session right now
    LONG overlaps;       // times a process found another one holding it too
    LONG opened;         // sessions opened
    LONG refused;        // OB_IN_USE answers
    LONG unexpected;     // any other answer of OB_CI_Open
    LONG closeFailures;  // OB_CI_Close that did not succeed
};

}  // namespace citest
