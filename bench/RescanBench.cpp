// Times the library's scans against a baseline that does the least a first scan must:
// enumerate the three categories once, bind each tuner and receiver filter once and
// make one property get per device. A first scan identifies every device it finds; a
// rescan that finds the table current identifies none again. Runs the library's real
// code from its static build, with simulated tuners.
#include "BenchSupport.h"
#include "PlatformDiscovery.h"

#include "Library.h"

#include <TunerSimControl.h>

#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTag = 0x52;  // 'R': this benchmark's simulated boxes

}  // namespace

int main() {
    CoInitialize(nullptr);
    if (!ombrel::AttachLibrary()) {
        std::fprintf(stderr, "cannot map the shared section\n");
        return 1;
    }
    ombrel::Library& library = *ombrel::TheLibrary();
    std::printf("%8s %22s %22s %22s %8s %8s\n", "tuners", "first scan ms", "rescan ms", "baseline ms", "first/b",
                "rescan/b");
    int failures = 0;
    for (int tuners : {8, 32, 64}) {
        bench::PlugTuners(tuners, kTag);
        library.Rescan();  // first scan appends; the timed ones find the table current
        if (platform::DiscoveryFloor() != tuners || library.Table().Count(ombrel::KindFilter::Any) != static_cast<unsigned long>(tuners)) {
            std::fprintf(stderr, "%d tuners: scan found a different number\n", tuners);
            ++failures;
        }
        // Alternating the two keeps a busy machine's noise from favouring either.
        const int rounds = tuners <= 8 ? 15 : 9;
        const auto samples = bench::Interleave(
            rounds, {[] { return bench::TimeMs([] { ombrel::ScanDevices([](const std::string&) { return false; }); }); },
                     [&] { return bench::TimeMs([&] { library.Rescan(); }); },
                     [] { return bench::TimeMs([] { platform::DiscoveryFloor(); }); }});
        const bench::Spread first = bench::Summarise(samples[0]);
        const bench::Spread rescan = bench::Summarise(samples[1]);
        const bench::Spread baseline = bench::Summarise(samples[2]);
        std::printf("%8d %22s %22s %22s %8.2f %8.2f\n", tuners, bench::Describe(first).c_str(),
                    bench::Describe(rescan).c_str(), bench::Describe(baseline).c_str(), first.median / baseline.median,
                    rescan.median / baseline.median);
        std::fflush(stdout);
    }
    tunersim::Reset(false);
    ombrel::DetachLibrary(false);
    return failures;
}
