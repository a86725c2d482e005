// Repeated graph work on one simulated tuner, with samples in flight at every step: the
// suite's short run and scripts/stress.sh's long one share it. The figures of the process
// before and after tell whether anything was left behind.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>
#include <strmif.h>

#include "HandleCensus.h"

namespace streamtest {

struct ProcessFigures {
    handles::Census handles;
    int threads = -1;
    long liveFilters = -1;  // the simulator's filter objects in this process (-1: not loaded)
};
ProcessFigures TakeFigures();
// The figures once the threads have settled (Wine ends threads a little after a join),
// or after the time is up.
ProcessFigures SettledFigures(const ProcessFigures& target, unsigned timeoutMs);

struct CycleResult {
    int done = 0;
    int failures = 0;
    std::string firstFailure;
    uint64_t packets = 0;       // delivered over all cycles
    uint64_t badSamples = 0;    // not whole packets
};

// One graph (filter -> Sample Grabber -> Null Renderer) run and stopped `cycles` times,
// `runMs` running each time.
CycleResult RunStopCycles(IBaseFilter* source, int cycles, unsigned runMs);
CycleResult RunStopCycles(const std::string& displayName, int cycles, unsigned runMs);
// `builds` graphs built, run for `runMs` and released while running (no Stop). Without
// `stream` the filter is bound and added but neither connected nor run: the baseline of
// what binding and a graph cost.
CycleResult BuildAndDropRunning(const std::string& displayName, int builds, unsigned runMs, bool stream);

}  // namespace streamtest
