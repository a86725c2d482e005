// Figures of a running process as the system reports them: open handles by object
// type, threads, private memory, and the simulator's live filter objects.
#pragma once

#include <windows.h>

#include "Figures.h"

namespace stress {

// A sample of a process (this one, or another that `process` was opened on with
// query and handle-duplication rights). Filter objects can only be counted in this
// process; for another the figure stays unknown.
Sample SampleProcess(HANDLE process);
Sample SampleThisProcess();

// A sample of this process once no filter object has been alive for a while (a scan
// that is still identifying devices holds some), or after the time is up.
Sample SampleThisProcessAtRest(DWORD timeoutMs);

}  // namespace stress
