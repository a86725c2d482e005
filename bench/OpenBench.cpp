// Costs per call of the real OmbrelApi.dll with simulated tuners, each against a
// baseline measured in the same run and interleaved with it:
//  - opening (and closing) a handle, WDM and BDA, at 8, 32 and 64 tuners, against
//    the platform binding the same filters through monikers it already holds: the
//    ratio must not grow with the number of tuners;
//  - a device-information call (OB_GetFirmwareVersion) against the same get on the
//    tuner filter's own property interface: the library's overhead per call;
//  - one driver request to the simulator against one hold of the simulator's
//    state lock (its named mutex): how many round trips a request costs.
//
//   bench_open [opens|calls]     (default: both)
#include "BenchSupport.h"
#include "PlatformDiscovery.h"

#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include <objbase.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kTag = 0x4F;  // 'O': this benchmark's simulated boxes

unsigned long Count(unsigned long (*count)(unsigned long*)) {
    unsigned long n = 0;
    count(&n);
    return n;
}

// Plugs the set and pumps until the library lists all of it (bounded).
bool PlugAndWait(int tuners) {
    bench::PlugTuners(tuners, kTag, true);
    return bench::PumpUntil([&] { return Count(OB_GetNumberOfDevices) == static_cast<unsigned long>(tuners); });
}

// Every sample covers at least this many opens (or binds), so that small sets are
// timed over as long a stretch as large ones.
constexpr unsigned long kPerSample = 32;

unsigned long PassesFor(std::size_t items) {
    return items ? (kPerSample + static_cast<unsigned long>(items) - 1) / static_cast<unsigned long>(items) : 1;
}

// Milliseconds per open and close of every handle of one family.
double OpenEach(unsigned long (*count)(unsigned long*), unsigned long (*open)(unsigned long, unsigned long*)) {
    const unsigned long n = Count(count);
    const unsigned long passes = PassesFor(n);
    const double ms = bench::TimeMs([&] {
        for (unsigned long pass = 0; pass < passes; ++pass) {
            for (unsigned long i = 0; i < n; ++i) {
                unsigned long handle = 0;
                if (open(i, &handle) == OB_SUCCESS) OB_CloseDeviceHandle(handle);
            }
        }
    });
    return ms / static_cast<double>(n * passes);
}

// Milliseconds per bind of each held moniker (and the property interface of a tuner).
double BindEach(const std::vector<platform::ListedFilter>& filters) {
    const unsigned long passes = PassesFor(filters.size());
    const double ms = bench::TimeMs([&] {
        for (unsigned long pass = 0; pass < passes; ++pass) {
            for (const auto& listed : filters) {
                auto filter = platform::BindListed(listed.moniker.Get());
                platform::ComPtr<IKsPropertySet> properties;
                if (filter) filter.As(&properties);
            }
        }
    });
    return ms / static_cast<double>(filters.size() * passes);
}

struct OpenFigures {
    int tuners;
    std::vector<double> wdm, bda, wdmBind, bdaBind;
};

OpenFigures MeasureOpens(int tuners, int rounds) {
    OpenFigures f{tuners, {}, {}, {}, {}};
    const auto wdm = platform::ListCategory(ombrel::Category::WdmCapture);
    auto bda = platform::ListCategory(ombrel::Category::BdaTuner);
    const auto receivers = platform::ListCategory(ombrel::Category::BdaReceiver);
    const auto samples = bench::Interleave(
        rounds, {[] { return OpenEach(OB_GetNumberOfWDMDevices, OB_OpenWDMDeviceHandle); },
                 [&] { return BindEach(wdm); },
                 [] { return OpenEach(OB_GetNumberOfBDADevices, OB_OpenBDADeviceHandle); },
                 // A BDA open binds a tuner and a receiver.
                 [&] { return BindEach(bda) + BindEach(receivers); }});
    f.wdm = samples[0];
    f.wdmBind = samples[1];
    f.bda = samples[2];
    f.bdaBind = samples[3];
    return f;
}

void PrintOpens(const std::vector<OpenFigures>& all) {
    std::printf("\nOpen and close one handle (ms per handle; baseline: the platform binds the same filters\n"
                "through monikers it holds). Goal: the ratio at 64 tuners within 1.2x of the one at 8.\n");
    std::printf("%7s %5s %22s %22s %8s %10s\n", "tuners", "model", "open+close", "baseline", "ratio", "vs 8");
    double first[2] = {0, 0};
    for (const OpenFigures& f : all) {
        const bench::Spread spreads[2][2] = {{bench::Summarise(f.wdm), bench::Summarise(f.wdmBind)},
                                             {bench::Summarise(f.bda), bench::Summarise(f.bdaBind)}};
        for (int model = 0; model < 2; ++model) {
            const double ratio = spreads[model][0].median / spreads[model][1].median;
            if (first[model] == 0) first[model] = ratio;
            std::printf("%7d %5s %22s %22s %8.2f %9.2fx\n", f.tuners, model ? "BDA" : "WDM",
                        bench::Describe(spreads[model][0]).c_str(), bench::Describe(spreads[model][1]).c_str(),
                        ratio, ratio / first[model]);
        }
    }
}

// Microseconds per call.
template <class F>
double PerCallUs(int calls, F&& call) {
    return bench::TimeMs([&] {
               for (int i = 0; i < calls; ++i) call();
           }) *
           1000.0 / calls;
}

void MeasureCalls(int rounds) {
    unsigned long handle = 0;
    if (OB_OpenWDMDeviceHandle(0, &handle) != OB_SUCCESS) return;
    IBaseFilter* filter = nullptr;
    OB_GetDirectShowFilter(handle, &filter);
    platform::ComPtr<IKsPropertySet> properties;
    filter->QueryInterface(IID_PPV_ARGS(&properties));
    HANDLE lock = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"TunerSimStateMutex");

    constexpr int kCalls = 200;
    const auto samples = bench::Interleave(
        rounds, {[&] {
                     return PerCallUs(kCalls, [&] {
                         _OMBREL_FIRMWARE_VERSION v;
                         OB_GetFirmwareVersion(handle, &v);
                     });
                 },
                 [&] { return PerCallUs(kCalls, [&] { platform::GetFirmwareVersion(filter); }); },
                 [&] {
                     return PerCallUs(kCalls, [&] {
                         WaitForSingleObject(lock, INFINITE);
                         ReleaseMutex(lock);
                     });
                 }});
    const bench::Spread library = bench::Summarise(samples[0]);
    const bench::Spread raw = bench::Summarise(samples[1]);
    const bench::Spread mutex = bench::Summarise(samples[2]);
    std::printf("\nOne firmware-version get (us per call)\n");
    std::printf("%-44s %22s\n", "OB_GetFirmwareVersion", bench::Describe(library).c_str());
    std::printf("%-44s %22s\n", "IKsPropertySet::Get on the same filter", bench::Describe(raw).c_str());
    std::printf("%-44s %22s\n", "one hold of the simulator's state lock", bench::Describe(mutex).c_str());
    std::printf("library overhead per call: %.1f us (%.3fx the raw get)\n", library.median - raw.median,
                library.median / raw.median);
    std::printf("simulator request / one lock hold: %.2f (goal: one round trip, about 1)\n",
                raw.median / mutex.median);
    if (lock) CloseHandle(lock);
    OB_CloseDeviceHandle(handle);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    const bool opensToo = only != "calls";
    const bool callsToo = only != "opens";
    CoInitialize(nullptr);
    if (OB_Initialize() != OB_SUCCESS) {
        std::fprintf(stderr, "OB_Initialize failed\n");
        return 1;
    }
    // Registered as a program would be, so that the rescans tell someone.
    bench::ChangeCounter general;
    OB_RegisterGeneralNotifications(general.Window());

    std::vector<OpenFigures> opens;
    for (int tuners : {8, 32, 64}) {
        if (!opensToo && tuners > 8) break;
        if (!PlugAndWait(tuners)) {
            std::fprintf(stderr, "%d tuners: the library did not list them all\n", tuners);
            return 1;
        }
        if (opensToo) opens.push_back(MeasureOpens(tuners, tuners <= 8 ? 15 : 9));
        if (callsToo && tuners == 8) MeasureCalls(15);
    }
    if (opensToo) PrintOpens(opens);
    tunersim::Reset(false);
    return 0;
}
