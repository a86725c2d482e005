// Four simulated tuners streaming their largest multiplexes at once through their pins,
// each into a Sample Grabber and a Null Renderer of its own graph, for a while (default
// 30 s; the first argument changes it). Per tuner: packets delivered against the nominal
// rate, continuity gaps on every PID beyond those of the lost blocks the multiplex is
// simulated with (each lost block also flags one packet with a transport error), the
// discontinuities flagged, and the latency from making (the sample's time stamp) to
// arrival in the grabber. CPU: the process's user and kernel time per tuner.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BoxTuning.h"
#include "GraphSupport.h"
#include "TunerSimControl.h"

namespace {

namespace sky = tunersim::sky;
using namespace streamtest;

struct Stream {
    std::string id;
    const sky::Multiplex* multiplex = nullptr;
    ComPtr<IBaseFilter> filter;
    std::unique_ptr<GrabberGraph> graph;
};

// The largest multiplex of a family, skipping `skip` larger ones.
const sky::Multiplex* Largest(bool (*family)(const sky::Multiplex&), int skip) {
    std::vector<const sky::Multiplex*> all;
    for (const auto& m : sky::Multiplexes())
        if (family(m)) all.push_back(&m);
    std::stable_sort(all.begin(), all.end(),
                     [](auto* a, auto* b) { return sky::UsefulBitrate(*a) > sky::UsefulBitrate(*b); });
    return skip < static_cast<int>(all.size()) ? all[skip] : nullptr;
}

bool Satellite(const sky::Multiplex& m) { return sky::IsSatellite(m); }
bool Atsc(const sky::Multiplex& m) { return sky::IsAtsc(m); }
bool Terrestrial(const sky::Multiplex& m) { return !sky::IsSatellite(m) && !sky::IsAtsc(m); }

double Seconds(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: bench_pins [seconds]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int code = 0;
    try {
        const std::vector<std::pair<const char*, const sky::Multiplex*>> plan{
            {"talvex-s2", Largest(Satellite, 0)},
            {"talvex-s2", Largest(Satellite, 1)},
            {"talvex-tci", Largest(Terrestrial, 0)},
            {"talvex-atsc", Largest(Atsc, 0)}};
        std::vector<Stream> streams;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            Stream s;
            s.id = "00000000000009a" + std::to_string(i + 1);
            try {
                tunersim::Remove(s.id, false);
            } catch (...) {
            }
            auto profile = tunersim::Preset(plan[i].first);
            profile.id = s.id;
            tunersim::Plug(profile, false);
            tunersim::SetSettleTime(s.id, 0);
            s.multiplex = plan[i].second;
            s.filter = BindDisplayName(tunersim::Find(s.id)->displayNames.front());
            ComPtr<IKsPropertySet> box;
            if (!s.multiplex || !s.filter || FAILED(s.filter.As(&box)) || FAILED(TuneTo(box.Get(), *s.multiplex)) ||
                FAILED(SetPids(box.Get(), *s.multiplex, {kWholeStream})))
                throw std::runtime_error("tuner " + s.id + " cannot be set up");
            s.graph = std::make_unique<GrabberGraph>();
            if (FAILED(s.graph->Add(s.filter.Get(), L"Tuner")) || FAILED(s.graph->ConnectToGrabber(s.filter.Get(), true)))
                throw std::runtime_error("tuner " + s.id + " does not connect");
            streams.push_back(std::move(s));
        }
        Sleep(300);  // lock
        const double cpuBefore = CpuSeconds();
        const DWORD started = GetTickCount();
        for (auto& s : streams)
            if (FAILED(s.graph->Run(true))) throw std::runtime_error("tuner " + s.id + " does not run");
        Sleep(static_cast<DWORD>(seconds * 1000));
        std::vector<Tally> tallies;
        for (auto& s : streams) tallies.push_back(s.graph->Counter().Snapshot());
        const double elapsed = (GetTickCount() - started) / 1000.0;
        const double cpu = CpuSeconds() - cpuBefore;
        for (auto& s : streams) s.graph->Stop();

        std::printf("%-18s %-12s %9s %12s %12s %7s %6s %6s %6s %9s %9s\n", "tuner", "multiplex", "Mbit/s",
                    "packets", "nominal", "rate%", "gaps", "lost", "disc", "lat avg", "lat max");
        for (std::size_t i = 0; i < streams.size(); ++i) {
            const Tally& t = tallies[i];
            const double bitrate = static_cast<double>(sky::UsefulBitrate(*streams[i].multiplex));
            const double nominal = bitrate * elapsed / (188 * 8);
            // A lost block is one packet with the error flag and one gap; anything beyond is the pin's.
            const long long beyond = static_cast<long long>(t.continuityGaps) - static_cast<long long>(t.errors);
            std::printf("%-18s %-12s %9.2f %12llu %12.0f %7.2f %6llu %6lld %6llu %7.1fms %7.1fms\n",
                        streams[i].id.c_str(), streams[i].multiplex->name.c_str(), bitrate / 1e6,
                        static_cast<unsigned long long>(t.packets), nominal, 100.0 * t.packets / nominal,
                        static_cast<unsigned long long>(t.continuityGaps), beyond < 0 ? 0 : beyond,
                        static_cast<unsigned long long>(t.discontinuities),
                        t.latencySamples ? t.latencyMsSum / t.latencySamples : 0.0, t.latencyMsMax);
            if (t.badSamples) code = 1;
        }
        std::printf("CPU: %.2f s over %.1f s: %.1f %% of one core in all, %.1f %% per tuner\n", cpu, elapsed,
                    100.0 * cpu / elapsed, 100.0 * cpu / elapsed / streams.size());
        streams.clear();
        for (std::size_t i = 0; i < plan.size(); ++i) tunersim::Remove("00000000000009a" + std::to_string(i + 1), false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_pins: %s\n", e.what());
        code = 1;
    }
    CoUninitialize();
    return code;
}
