#include "BenchSupport.h"

#include <windows.h>

#include <TunerSimControl.h>

#include <algorithm>
#include <cstdio>

namespace bench {

double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double TimeMs(const std::function<void()>& run) {
    const double start = NowMs();
    run();
    return NowMs() - start;
}

Spread Summarise(std::vector<double> times) {
    Spread s;
    if (times.empty()) return s;
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    s.median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    s.low = times.front();
    s.high = times.back();
    return s;
}

std::string Describe(const Spread& spread) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f (%.2f-%.2f)", spread.median, spread.low, spread.high);
    return text;
}

std::vector<std::vector<double>> Interleave(int rounds, const std::vector<std::function<double()>>& arms) {
    std::vector<std::vector<double>> samples(arms.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t arm = 0; arm < arms.size(); ++arm) samples[arm].push_back(arms[arm]());
    }
    return samples;
}

void PlugTuners(int tuners, int tag, bool broadcast) {
    tunersim::Reset(false);
    for (int i = 0; i < tuners / 2; ++i) {
        tunersim::DeviceProfile box;
        char id[17];
        std::snprintf(id, sizeof id, "0000%02x%02x%02x%06x", tag & 0xFF, tuners & 0xFF, 0xbe, i);
        box.id = id;
        box.subunit = i % 10;
        box.models = tunersim::kBoth;
        tunersim::Plug(box, false);
    }
    if (broadcast) tunersim::BroadcastDeviceChange();
}

}  // namespace bench
