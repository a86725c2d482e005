#include "LibraryRun.h"

#include <OmbrelApi.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "ChildProcess.h"
#include "ComScope.h"
#include "LibraryWorker.h"
#include "PlugStorm.h"
#include "RomfluxWatch.h"
#include "SecondProcess.h"
#include "StormReport.h"
#include "SystemFigures.h"
#include "Watchdog.h"

namespace stress {
namespace {

constexpr DWORD kSettleMs = 120000;
constexpr DWORD kRomfluxCheckMs = 1000;
constexpr DWORD kForgetMs = 10000;
// Opens each worker makes while the tuners are plugged, per cycle.
constexpr long long kOpensPerCycle = 3;

unsigned long ListedDevices() {
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    return count;
}

// A hidden top-level window registered for the library's general notification, as an
// application has one; it answers 0x403 while this thread pumps.
class GeneralWindow {
public:
    GeneralWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OmbrelStressNotify";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        if (!window_) throw std::runtime_error("cannot create the notification window");
        OB_RegisterGeneralNotifications(window_);
    }
    GeneralWindow(const GeneralWindow&) = delete;
    GeneralWindow& operator=(const GeneralWindow&) = delete;
    ~GeneralWindow() { DestroyWindow(window_); }

private:
    HWND window_ = nullptr;
};

// The first process of a library run: the storm, its workers, the second process and
// Romflux, from start to report.
class LibraryStorm {
public:
    explicit LibraryStorm(const Options& options)
        : options_(options),
          report_(options),
          storm_(options.tuners, options.broadcastEach),
          guids_(GuidStringsOf(storm_.Tuners())),
          shared_{tally_, guids_},
          pool_(options.threads, shared_),
          self_{"this process", options.cycles, {}, {}, {}},
          app_{"Romflux", options.cycles, {}, {}, {}} {
        plugger_.Rest();
    }

    int Run() {
        const ULONGLONG began = GetTickCount64();
        storm_.PlugAll();
        OB_Initialize();
        GeneralWindow general;
        if (!PumpUntil([&] { return ListedDevices() == storm_.Entries(); }, kSettleMs)) {
            report_.Problem("the library does not list the " + std::to_string(storm_.Entries()) + " plugged devices");
            return report_.Finish(0);
        }
        if (options_.run == Run::Romflux) romflux_.emplace(storm_.Entries(), kSettleMs);
        std::vector<const Heartbeat*> hearts = pool_.Hearts();
        hearts.push_back(&supervisor_);
        hearts.push_back(&plugger_);
        // The second process ends with this one (it runs in a job), Romflux too.
        Watchdog watchdog(hearts, options_.hangSeconds, [&](const std::string&) { storm_.ForgetAfterHang(kForgetMs); });
        TakeStart();
        Storm();
        WindDown();
        return report_.Finish(static_cast<double>(GetTickCount64() - began) / 1000.0);
    }

private:
    void TakeStart() {
        self_.start = SampleThisProcessAtRest(kSettleMs);
        if (romflux_) app_.start = SampleProcess(romflux_->Process());
        if (!options_.secondProcess) return;
        second_ = std::make_unique<SecondProcess>(options_);
        supervisor_.Rest();
        if (!second_->WaitReady(kSettleMs)) report_.Problem("the second process did not get ready");
        supervisor_.Wake();
    }

    // Each half cycle lasts until the library has taken it in and, once the tuners are
    // back, until the workers have opened some of them: a storm in which the library
    // never lists anything would test nothing.
    void Settle(bool plugged) {
        plugger_.Beat(plugged ? "waiting for the library to list the tuners" : "waiting for the library to drop the tuners");
        const unsigned long listed = plugged ? storm_.Entries() : 0;
        const long long opens = tally_.opens + static_cast<long long>(options_.threads) * kOpensPerCycle;
        const ULONGLONG end = GetTickCount64() + kSettleMs;
        while (ListedDevices() != listed || (plugged && tally_.opens < opens)) {
            if (GetTickCount64() >= end) {
                tally_.Fault(plugged ? "the replugged tuners were not listed and opened in time" : "the unplugged tuners stayed listed");
                return;
            }
            Sleep(10);
        }
    }

    void Storm() {
        pool_.Start();
        std::atomic<int> cyclesDone{0};
        plugger_.Wake();
        std::thread plugging([&] {
            ComScope com;
            for (int cycle = 0; cycle < options_.cycles; ++cycle) {
                storm_.Cycle(plugger_, [&](bool plugged) { Settle(plugged); });
                if (options_.stallDriver && cycle == 0) storm_.StallFirmwareRequests();
                ++cyclesDone;
            }
            plugger_.Rest();
        });
        bool middleTaken = false;
        ULONGLONG lastCheck = GetTickCount64();
        PumpUntil(
            [&] {
                supervisor_.Beat("supervising the storm");
                if (!middleTaken && cyclesDone >= options_.cycles / 2) {
                    middleTaken = true;
                    TakeMiddle();
                }
                if (romflux_ && GetTickCount64() - lastCheck >= kRomfluxCheckMs) {
                    lastCheck = GetTickCount64();
                    if (auto problem = romflux_->Check()) tally_.Fault(*problem);
                }
                return cyclesDone == options_.cycles;
            },
            INFINITE);
        plugging.join();
    }

    void TakeMiddle() {
        self_.middle = SampleThisProcess();
        if (romflux_) app_.middle = SampleProcess(romflux_->Process());
        if (second_) second_->Middle();
    }

    // Stops the work, lets everything settle and takes the end figures.
    void WindDown() {
        supervisor_.Beat("stopping the workers");
        pool_.Stop();
        supervisor_.Rest();
        if (second_) {
            second_->Finish(options_.cycles, static_cast<DWORD>(options_.hangSeconds) * 2000, report_);
            second_.reset();  // its handles are the run's own, not the library's
        }
        PumpUntil(
            [&] {
                const Sample now = SampleThisProcess();
                return ListedDevices() == storm_.Entries() && now.threads == self_.start.threads &&
                       now.filterObjects == self_.start.filterObjects;
            },
            kSettleMs);
        self_.end = SampleThisProcess();
        if (romflux_) {
            if (!romflux_->WaitForAllTuners(kSettleMs)) tally_.Fault("Romflux does not list every tuner after the storm");
            app_.end = SampleProcess(romflux_->Process());
            if (auto problem = romflux_->Close(kSettleMs)) tally_.Fault(*problem);
        }
        report_.Counts("this process", tally_.operations, tally_.opens, tally_.refusedOpens, tally_.Faults(), tally_.Examples());
        report_.Add(self_);
        if (romflux_) report_.Add(app_);
    }

    const Options& options_;
    ComScope com_;
    StormReport report_;
    PlugStorm storm_;
    Tally tally_;
    const std::set<std::string> guids_;
    const WorkerShared shared_;
    WorkerPool pool_;
    Heartbeat supervisor_{"the supervising thread"};
    Heartbeat plugger_{"the plugging thread"};
    std::optional<RomfluxWatch> romflux_;
    std::unique_ptr<SecondProcess> second_;
    ProcessFigures self_, app_;
};

}  // namespace

int RunLibraryStorm(const Options& options) { return LibraryStorm(options).Run(); }

int RunSecondProcess(const Options& options) {
    ComScope com;
    const Event middle(Widen(options.events + "-middle"), Event::Open);
    const Event stop(Widen(options.events + "-stop"), Event::Open);
    OB_Initialize();
    Tally tally;
    const std::vector<tunersim::DeviceProfile> tuners = StormTuners(options.tuners);
    const std::set<std::string> guids = GuidStringsOf(tuners);
    const unsigned long entries = EntriesOf(tuners);
    if (!PumpUntil([&] { return ListedDevices() == entries; }, kSettleMs)) {
        std::printf("FAULT: the library does not list the %lu plugged devices\n", entries);
        return 1;
    }
    const WorkerShared shared{tally, guids};
    WorkerPool pool(options.threads, shared);
    Watchdog watchdog(pool.Hearts(), options.hangSeconds, nullptr);

    const Sample start = SampleThisProcessAtRest(kSettleMs);
    std::printf("sample start: %s\nready\n", EncodeSample(start).c_str());
    std::fflush(stdout);
    pool.Start();
    PumpUntil([&] { return middle.IsSet() || stop.IsSet(); }, INFINITE);
    std::printf("sample middle: %s\n", EncodeSample(SampleThisProcess()).c_str());
    std::fflush(stdout);
    PumpUntil([&] { return stop.IsSet(); }, INFINITE);
    pool.Stop();
    PumpUntil([&] { return SampleThisProcess().filterObjects == start.filterObjects; }, kSettleMs);
    std::printf("sample end: %s\n", EncodeSample(SampleThisProcess()).c_str());
    std::printf("second process: %lld operations, %lld opens, %lld refused opens, %ld faults\n", tally.operations.load(),
                tally.opens.load(), tally.refusedOpens.load(), tally.Faults());
    for (const std::string& fault : tally.Examples()) std::printf("FAULT: %s\n", fault.c_str());
    std::fflush(stdout);
    return tally.Faults() == 0 ? 0 : 1;
}

}  // namespace stress
