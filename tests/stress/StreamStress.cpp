// The streaming stress run: one simulated tuner's graph run and stopped many times, then
// many graphs built, run and released while their samples are in flight. It fails on a
// graph call that fails, a sample that is not whole packets, or threads, filter objects
// or handles that do not return to their start; it prints the figures either way.
//   ombrel_stream_stress [--cycles N] [--builds M] [--run-ms T]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "BoxTuning.h"
#include "GraphSupport.h"
#include "StreamCycles.h"
#include "TunerSimControl.h"

namespace {

const std::string kBox = "00000000000007a1";

void Print(const char* when, const streamtest::ProcessFigures& f) {
    std::printf("figure stream %s threads %d filters %ld handles %ld\n", when, f.threads, f.liveFilters, f.handles.Total());
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 1000, builds = 200;
    unsigned runMs = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--cycles")) cycles = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--builds")) builds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--run-ms")) runMs = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else {
            std::fprintf(stderr, "usage: ombrel_stream_stress [--cycles N] [--builds M] [--run-ms T]\n");
            return 2;
        }
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    bool passed = false;
    try {
        using namespace streamtest;
        tunersim::Remove(kBox, false);
    } catch (...) {
        // not there: fine
    }
    try {
        using namespace streamtest;
        auto profile = tunersim::Preset("talvex-s2");
        profile.id = kBox;
        tunersim::Plug(profile, false);
        tunersim::SetSettleTime(kBox, 0);
        const std::string name = tunersim::Find(kBox)->displayNames.front();
        const tunersim::sky::Multiplex& m = *CleanMultiplexes(true).front();
        {
            ComPtr<IBaseFilter> filter = BindDisplayName(name);
            ComPtr<IKsPropertySet> box;
            if (!filter || FAILED(filter.As(&box)) || FAILED(TuneTo(box.Get(), m)) ||
                FAILED(SetPids(box.Get(), m, {kWholeStream})))
                throw std::runtime_error("the box cannot be tuned");
        }
        // Warm-up: what stays loaded afterwards is no growth.
        RunStopCycles(name, 2, runMs);
        BuildAndDropRunning(name, 2, runMs, true);
        const ProcessFigures start = SettledFigures(TakeFigures(), 3000);
        Print("start", start);
        const CycleResult runs = RunStopCycles(name, cycles, runMs);
        const ProcessFigures middle = SettledFigures(start, 3000);
        Print("middle", middle);
        // Binding through the system device enumerator costs Wine handles of its own
        // (an event and two keys a bind): the same builds without streaming are the baseline.
        const CycleResult idle = BuildAndDropRunning(name, builds, runMs, false);
        const ProcessFigures baseline = SettledFigures(middle, 5000);
        Print("baseline", baseline);
        const CycleResult drops = BuildAndDropRunning(name, builds, runMs, true);
        const ProcessFigures end = SettledFigures(start, 12000);
        Print("end", end);
        std::printf("stream: %d Run/Stop cycles, %llu packets; %d graphs dropped while running, %llu packets\n",
                    runs.done, static_cast<unsigned long long>(runs.packets), drops.done,
                    static_cast<unsigned long long>(drops.packets));
        std::printf("stream: handle growth over the cycles %s; over the builds %s, of which idle builds %s\n",
                    handles::Describe(handles::Difference(middle.handles, start.handles)).c_str(),
                    handles::Describe(handles::Difference(end.handles, baseline.handles)).c_str(),
                    handles::Describe(handles::Difference(baseline.handles, middle.handles)).c_str());
        passed = true;
        for (const CycleResult* r : {&runs, &idle, &drops}) {
            if (r->failures) std::printf("FAULT: %d failures, the first: %s\n", r->failures, r->firstFailure.c_str());
            if (r->badSamples) std::printf("FAULT: %llu samples not of whole packets\n",
                                           static_cast<unsigned long long>(r->badSamples));
            if (r->failures || r->badSamples || (r != &idle && !r->packets)) passed = false;
        }
        // A few handles made once (Wine's pool, lazily made events) are no growth per cycle.
        constexpr long kOnce = 4;
        const long streamedBuilds = end.handles.Total() - baseline.handles.Total();
        const long idleBuilds = baseline.handles.Total() - middle.handles.Total();
        if (end.threads > start.threads || end.liveFilters != 0 ||
            middle.handles.Total() > start.handles.Total() + kOnce || streamedBuilds > idleBuilds + kOnce) {
            std::printf("FAULT: threads %d -> %d, filter objects %ld -> %ld, handles %ld -> %ld (builds %ld, idle %ld)\n",
                        start.threads, end.threads, start.liveFilters, end.liveFilters, start.handles.Total(),
                        end.handles.Total(), streamedBuilds, idleBuilds);
            passed = false;
        }
        tunersim::Remove(kBox, false);
    } catch (const std::exception& e) {
        std::printf("FAULT: %s\n", e.what());
    }
    std::printf("stress stream: %s\n", passed ? "passed" : "FAILED");
    CoUninitialize();
    return passed ? 0 : 1;
}
