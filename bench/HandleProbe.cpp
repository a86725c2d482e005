// Counts this process's handles by type around each step of discovery and device
// access, first straight on the platform (the control: what Wine's device enumerator
// costs on its own), then through OmbrelApi.dll. Prints the change per cycle of each
// step; a step that leaks shows a steady non-zero figure.
//
//   handle_probe [tuners] [cycles]     (defaults: 8 tuners, 20 cycles)
#include "BenchSupport.h"
#include "HandleCensus.h"
#include "PlatformDiscovery.h"

#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

constexpr int kTag = 0x48;  // 'H': this program's simulated boxes

// Runs one warm-up cycle (first use loads DLLs and fills caches), then `cycles`
// cycles between two censuses; prints the change per cycle.
bool Measure(const char* step, int cycles, const std::function<bool()>& cycle) {
    if (!cycle()) {
        std::printf("%-46s failed\n", step);
        return false;
    }
    const auto before = handles::TakeCensus();
    bool ok = true;
    for (int i = 0; i < cycles && ok; ++i) ok = cycle();
    const auto after = handles::TakeCensus();
    if (!ok || !before || !after) {
        std::printf("%-46s %s\n", step, ok ? "no handle census" : "failed");
        return false;
    }
    const handles::Census delta = handles::Difference(*after, *before);
    std::printf("%-46s %9.2f %9.2f   %s\n", step, static_cast<double>(delta.Of("Key")) / cycles,
                static_cast<double>(delta.Total()) / cycles, handles::Describe(delta, cycles).c_str());
    std::fflush(stdout);
    return true;
}

// Every filter of the three categories, bound and released; `byName` binds through
// the display name instead of the listed moniker.
bool BindEveryFilter(bool byName) {
    int bound = 0;
    for (ombrel::Category category : ombrel::kAllCategories) {
        for (const platform::ListedFilter& listed : platform::ListCategory(category)) {
            auto filter = byName ? platform::BindByDisplayName(listed.displayName) : platform::BindListed(listed.moniker.Get());
            bound += filter != nullptr;
        }
    }
    return bound > 0;
}

// One box out and back in, each with a broadcast; `afterEach` runs after each of the
// two and says whether all went well.
bool UnplugAndReplug(const std::string& id, const std::function<bool(int step)>& afterEach) {
    tunersim::Unplug(id);
    if (!afterEach(1)) return false;
    tunersim::Plug(tunersim::Find(id)->profile);
    return afterEach(2);
}

bool OpenAndCloseEach(unsigned long (*count)(unsigned long*), unsigned long (*open)(unsigned long, unsigned long*)) {
    unsigned long n = 0;
    count(&n);
    for (unsigned long i = 0; i < n; ++i) {
        unsigned long handle = 0;
        if (open(i, &handle) != OB_SUCCESS) return false;
        OB_CloseDeviceHandle(handle);
    }
    return n > 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int tuners = argc > 1 ? std::atoi(argv[1]) : 8;
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 20;
    CoInitialize(nullptr);
    if (!handles::TakeCensus()) {
        std::fprintf(stderr, "this system does not list handles\n");
        return 1;
    }
    bench::PlugTuners(tuners, kTag);
    const std::string box = tunersim::List().front().profile.id;
    std::printf("handles per cycle, %d tuners (%d boxes in both driver models), %d cycles\n", tuners, tuners / 2,
                cycles);
    std::printf("%-46s %9s %9s   %s\n", "step", "Key", "all", "by type");

    // The platform alone: nothing of the library has run yet (it is loaded, which
    // maps its shared section once).
    bool ok = true;
    ok &= Measure("platform: list the 3 categories", cycles, [] {
        for (ombrel::Category category : ombrel::kAllCategories) platform::ListCategory(category);
        return true;
    });
    ok &= Measure("platform: list, bind every listed moniker", cycles, [] { return BindEveryFilter(false); });
    ok &= Measure("platform: list, bind every filter by name", cycles, [] { return BindEveryFilter(true); });
    ok &= Measure("platform: plug cycle + 3 listings each", cycles, [&] {
        return UnplugAndReplug(box, [](int) {
            for (ombrel::Category category : ombrel::kAllCategories) platform::ListCategory(category);
            return true;
        });
    });

    // The library.
    if (OB_Initialize() != OB_SUCCESS) {
        std::fprintf(stderr, "OB_Initialize failed\n");
        return 1;
    }
    bench::ChangeCounter general;
    OB_RegisterGeneralNotifications(general.Window());
    ok &= Measure("library: open+close every WDM tuner", cycles,
                  [] { return OpenAndCloseEach(OB_GetNumberOfWDMDevices, OB_OpenWDMDeviceHandle); });
    ok &= Measure("library: open+close every BDA tuner", cycles,
                  [] { return OpenAndCloseEach(OB_GetNumberOfBDADevices, OB_OpenBDADeviceHandle); });
    ok &= Measure("library: plug cycle (2 rescans)", cycles, [&] {
        // The broadcast reaches the library's window on its own thread, whose rescan
        // may tell this thread's window before the unplug returns.
        const int before = general.Changes();
        return UnplugAndReplug(box, [&](int step) {
            return bench::PumpUntil([&] { return general.Changes() >= before + step; });
        });
    });
    std::printf("(per open: divide the open+close figures by %d)\n", tuners / 2);
    tunersim::Reset(false);
    return ok ? 0 : 1;
}
