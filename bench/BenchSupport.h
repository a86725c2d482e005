// Timing, statistics and simulated tuner sets shared by the benchmarks.
#pragma once

#include <windows.h>

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

// Pumps this thread's messages until done() holds; false when a minute passes first.
bool PumpUntil(const std::function<bool()>& done);

// A message-only window of the calling thread that counts the library's
// OMBREL_MSG_DEVICES_CHANGED and notes when the last one came; the program registers
// it for general notifications.
class ChangeCounter {
public:
    ChangeCounter();
    ChangeCounter(const ChangeCounter&) = delete;
    ChangeCounter& operator=(const ChangeCounter&) = delete;
    ~ChangeCounter();

    HWND Window() const { return window_; }
    int Changes() const { return changes_; }
    double LastChangeMs() const { return lastChangeMs_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    int changes_ = 0;
    double lastChangeMs_ = 0;
};

// Replaces the simulator's boxes with tuners/2 boxes that each present one WDM tuner
// and one BDA tuner with its receiver (the simulator holds at most 32 boxes). Ids
// carry `tag` so that sets of different benchmarks never share a display name.
// Broadcasts once at the end when `broadcast` is set.
void PlugTuners(int tuners, int tag, bool broadcast = false);

}  // namespace bench
