// Hot-plug latency as a second program sees it: this process has the real
// OmbrelApi.dll loaded with a general window, and times from the moment a plug's
// broadcast begins until its window receives OMBREL_MSG_DEVICES_CHANGED (0x403),
// once without and once with Romflux running (Romflux starts after this process, so
// the broadcast reaches its windows first). The baseline, measured right before and
// after each pair of changes, is the discovery floor: each category listed, every
// filter bound, one get per tuner. Each latency is divided by the mean of the floors
// around it, so that the machine's changing load falls on both alike.
//
//   bench_hotplug [rounds] [tuners]     (defaults: 7 rounds, 32 tuners)
#include "BenchSupport.h"
#include "PlatformDiscovery.h"
#include "UiDriver.h"

#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kTag = 0x50;  // 'P': this benchmark's simulated boxes
constexpr int kList = 1001;
constexpr DWORD kWaitMs = 60000;

unsigned long DeviceCount() {
    unsigned long n = 0;
    OB_GetNumberOfDevices(&n);
    return n;
}

// Milliseconds from the start of the broadcast until this process's general window
// hears of the change; -1 when it never does. The box is already in or out.
double BroadcastLatency(const bench::ChangeCounter& general) {
    const int before = general.Changes();
    const double start = bench::NowMs();
    std::atomic<bool> sent{false};
    std::thread broadcaster([&] {
        tunersim::BroadcastDeviceChange();
        sent = true;
    });
    const bool told = bench::PumpUntil([&] { return general.Changes() > before; });
    // The broadcast may still be on its way through the other windows.
    bench::PumpUntil([&] { return sent.load(); });
    broadcaster.join();
    return told ? general.LastChangeMs() - start : -1;
}

// Romflux's list line count; the send waits while Romflux rebuilds.
int RomfluxLines(HWND romflux) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(GetDlgItem(romflux, kList), CB_GETCOUNT, 0, 0, SMTO_NORMAL, kWaitMs, &count)) return -1;
    return static_cast<int>(count);
}

// One box out and back in; the latency of each change. With Romflux running, each
// change is followed by waiting until Romflux lists the new count, so that the next
// broadcast does not find it still rebuilding.
std::vector<double> PlugCycle(const bench::ChangeCounter& general, const std::string& box, int tuners,
                              HWND romflux) {
    std::vector<double> latencies;
    tunersim::Unplug(box, false);
    latencies.push_back(BroadcastLatency(general));
    bench::PumpUntil([&] { return DeviceCount() == static_cast<unsigned long>(tuners - 2); });
    if (romflux) bench::PumpUntil([&] { return RomfluxLines(romflux) == tuners - 2; });
    tunersim::Plug(tunersim::Find(box)->profile, false);
    latencies.push_back(BroadcastLatency(general));
    bench::PumpUntil([&] { return DeviceCount() == static_cast<unsigned long>(tuners); });
    if (romflux) bench::PumpUntil([&] { return RomfluxLines(romflux) == tuners; });
    return latencies;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    const int tuners = argc > 2 ? std::atoi(argv[2]) : 32;
    CoInitialize(nullptr);
    bench::PlugTuners(tuners, kTag);
    if (OB_Initialize() != OB_SUCCESS) {
        std::fprintf(stderr, "OB_Initialize failed\n");
        return 1;
    }
    bench::ChangeCounter general;
    OB_RegisterGeneralNotifications(general.Window());
    const std::string box = tunersim::List().front().profile.id;

    struct Arm {
        std::vector<double> latencies, floors, ratios;
        // Latencies of one pair of changes, between two floors.
        void Measure(const bench::ChangeCounter& general, const std::string& box, int tuners, HWND romflux) {
            const double before = bench::TimeMs([] { platform::DiscoveryFloor(); });
            const std::vector<double> pair = PlugCycle(general, box, tuners, romflux);
            const double after = bench::TimeMs([] { platform::DiscoveryFloor(); });
            floors.insert(floors.end(), {before, after});
            for (double ms : pair) {
                latencies.push_back(ms);
                ratios.push_back(ms < 0 ? -1 : ms * 2 / (before + after));
            }
        }
    } alone, withRomflux;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        alone.Measure(general, box, tuners, nullptr);

        uidriver::Process romflux =
            uidriver::Process::Launch(uidriver::BinDirectory() + L"Romflux.exe", L"", uidriver::BinDirectory());
        HWND dialog = nullptr;
        bench::PumpUntil([&] { return (dialog = uidriver::FindTopLevelWindow(romflux.Id(), L"#32770",
                                                                       L"Talvex Firmware Update")) != nullptr; });
        if (!dialog || !bench::PumpUntil([&] { return RomfluxLines(dialog) == tuners; })) {
            std::fprintf(stderr, "Romflux did not list the %d tuners\n", tuners);
            return 1;
        }
        withRomflux.Measure(general, box, tuners, dialog);
        uidriver::RequestClose(dialog);
        if (!romflux.WaitForExit(15000)) romflux.Kill();
    }
    for (const Arm* arm : {&alone, &withRomflux}) {
        for (double ms : arm->latencies) failures += ms < 0;
    }

    std::printf("Hot-plug, %d tuners: ms from the start of the broadcast until a second program's general window\n"
                "receives 0x403, and that time over the floor around it; median (range) of %d rounds, 2 changes each\n",
                tuners, rounds);
    std::printf("%-30s %24s %24s %24s\n", "", "0x403 ms", "floor ms", "0x403 / floor");
    std::printf("%-30s %24s %24s %24s\n", "without Romflux", bench::Describe(bench::Summarise(alone.latencies)).c_str(),
                bench::Describe(bench::Summarise(alone.floors)).c_str(),
                bench::Describe(bench::Summarise(alone.ratios)).c_str());
    std::printf("%-30s %24s %24s %24s   (goal: <= 2)\n", "with Romflux running",
                bench::Describe(bench::Summarise(withRomflux.latencies)).c_str(),
                bench::Describe(bench::Summarise(withRomflux.floors)).c_str(),
                bench::Describe(bench::Summarise(withRomflux.ratios)).c_str());
    tunersim::Reset(false);
    return failures;
}
