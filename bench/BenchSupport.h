// Timing, statistics and simulated tuner sets shared by the benchmarks.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

double NowMs();
double TimeMs(const std::function<void()>& run);

// Median and range of a sample.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread Summarise(std::vector<double> times);
// "12.34 (11.90-13.10)"
std::string Describe(const Spread& spread);

// Runs the arms in turn, `rounds` times (ABAB...), so that a busy machine's noise
// falls on all of them alike. One sample per arm and round.
std::vector<std::vector<double>> Interleave(int rounds, const std::vector<std::function<double()>>& arms);

// Replaces the simulator's boxes with tuners/2 boxes that each present one WDM tuner
// and one BDA tuner with its receiver (the simulator holds at most 32 boxes). Ids
// carry `tag` so that sets of different benchmarks never share a display name.
// Broadcasts once at the end when `broadcast` is set.
void PlugTuners(int tuners, int tag, bool broadcast = false);

}  // namespace bench
