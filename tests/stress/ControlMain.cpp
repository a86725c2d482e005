// ombrel_stress_control: the storms of ombrel_stress without the library (this program
// does not load it): the plug storm, or with --storm ci or remote the module storm or the
// key stream on tuners that stay plugged; with one plain pass over the tuner categories
// per cycle: the platform's own share of the figures. Exit codes as ombrel_stress's.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ComScope.h"
#include "ControlScan.h"
#include "ModuleStorm.h"
#include "PlugStorm.h"
#include "StormReport.h"
#include "StressOptions.h"
#include "SystemFigures.h"
#include "Watchdog.h"

namespace {

constexpr DWORD kSettleMs = 120000;

int RunControl(const stress::Options& options) {
    const ULONGLONG began = GetTickCount64();
    stress::ComScope com;
    stress::StormReport report(options);
    const bool plugging = options.storm == stress::Run::Plug;
    stress::PlugStorm storm = plugging ? stress::PlugStorm(options.tuners, options.broadcastEach)
                                       : stress::PlugStorm(stress::SessionTuners(options.storm, options.tuners), false);
    storm.PlugAll();
    stress::Heartbeat supervisor("the supervising thread"), plugger("the plugging thread");
    plugger.Rest();
    stress::Watchdog watchdog({&supervisor, &plugger}, options.hangSeconds,
                              [&](const std::string&) { storm.ForgetAfterHang(kSettleMs); });
    stress::ScanTunerCategories(supervisor);  // the first pass loads what every later one uses

    stress::ProcessFigures self{"this process", options.cycles, {}, {}, {}};
    self.start = stress::SampleThisProcessAtRest(kSettleMs);
    std::atomic<int> cyclesDone{0};
    std::atomic<long long> listed{0}, answered{0};
    plugger.Wake();
    std::thread storming([&] {
        stress::ComScope stormingCom;
        std::optional<stress::ModuleStorm> modules;
        std::optional<stress::KeyStream> keys;
        if (options.storm == stress::Run::Ci) modules.emplace(storm.Tuners());
        if (options.storm == stress::Run::Remote) keys.emplace(storm.Tuners());
        for (int cycle = 0; cycle < options.cycles; ++cycle) {
            if (modules) {
                modules->Cycle(plugger, static_cast<unsigned>(cycle));
            } else if (keys) {
                keys->Cycle(plugger);
            } else {
                storm.Cycle(plugger, nullptr);
            }
            const stress::ScanCount scan = stress::ScanTunerCategories(plugger);
            listed += scan.listed;
            answered += scan.answered;
            ++cyclesDone;
        }
        plugger.Rest();
    });
    bool middleTaken = false;
    stress::PumpUntil(
        [&] {
            supervisor.Beat("supervising the storm");
            if (!middleTaken && cyclesDone >= options.cycles / 2) {
                middleTaken = true;
                self.middle = stress::SampleThisProcess();
            }
            return cyclesDone == options.cycles;
        },
        INFINITE);
    storming.join();
    supervisor.Rest();
    stress::PumpUntil(
        [&] {
            const stress::Sample now = stress::SampleThisProcess();
            return now.threads == self.start.threads && now.filterObjects == self.start.filterObjects;
        },
        kSettleMs);
    self.end = stress::SampleThisProcess();

    report.Line("this process: " + std::to_string(listed.load()) + " filters listed, " + std::to_string(answered.load()) +
                " answered the firmware version request");
    if (answered == 0) report.Problem("no listed filter answered: the control measured nothing");
    report.Add(self);
    return report.Finish(static_cast<double>(GetTickCount64() - began) / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
    stress::Options options;
    try {
        options = stress::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.run != stress::Run::Control) throw std::invalid_argument("this program runs only the control run");
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "ombrel_stress_control: %s\n%s", e.what(), stress::Usage().c_str());
        return 2;
    }
    try {
        return RunControl(options);
    } catch (const std::exception& e) {
        std::printf("FAULT: %s\nstress control: FAILED\n", e.what());
        return 1;
    }
}
