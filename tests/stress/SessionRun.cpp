#include "SessionRun.h"

#include <OmbrelApi.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "ComScope.h"
#include "DeviceCensus.h"
#include "LibraryWorker.h"
#include "ModuleStorm.h"
#include "PlugStorm.h"
#include "SecondProcess.h"
#include "SessionWorker.h"
#include "StormReport.h"
#include "SystemFigures.h"
#include "Watchdog.h"

namespace stress {
namespace {

constexpr DWORD kSettleMs = 120000;
constexpr DWORD kForgetMs = 10000;

unsigned long ListedDevices() {
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    return count;
}

// What both processes of a run have: the tuners, their workers and the census.
class SessionSide {
public:
    SessionSide(const Options& options, Run run, const std::string& stem, bool first)
        : run_(run),
          tuners_(SessionTuners(run, options.tuners)),
          census_(stem, first),
          shared_{run, tally_, counts_, census_, guids_},
          pool_(options.threads, [this](unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart) {
              RunSessionWorker(seed, stop, heart, shared_);
          }) {
        for (const std::string& guid : GuidStringsOf(tuners_)) guids_.push_back(guid);
    }

    const std::vector<tunersim::DeviceProfile>& Tuners() const { return tuners_; }
    WorkerPool& Pool() { return pool_; }
    Tally& Counted() { return tally_; }
    std::string Describe() { return DescribeCounts(run_, counts_); }
    long long Messages(unsigned message) {
        std::lock_guard<std::mutex> guard(counts_.lock);
        return counts_.messages[message];
    }
    long long Sessions() const { return counts_.sessions.load(); }

private:
    const Run run_;
    const std::vector<tunersim::DeviceProfile> tuners_;
    std::vector<std::string> guids_;  // by census slot
    Tally tally_;
    SessionCounts counts_;
    DeviceCensus census_;
    const SessionShared shared_;
    WorkerPool pool_;
};

// After the storm, each device's session (reader) is free: an open (start) through a
// new handle succeeds, and so does its close (stop).
void CheckFree(Run run, Tally& tally) {
    unsigned long count = ListedDevices();
    for (unsigned long index = 0; index < count; ++index) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(index, &handle) != OB_SUCCESS) {
            tally.Fault("device " + std::to_string(index) + " does not open after the storm");
            continue;
        }
        const bool ci = run == Run::Ci;
        const unsigned long opened = ci ? OB_CI_Open(handle) : OB_RemoteControl_Start(handle);
        if (opened != OB_SUCCESS) {
            tally.Fault(std::string(ci ? "the session" : "the reader") + " of device " + std::to_string(index) +
                        " is not free after the storm: " + std::to_string(opened));
        } else {
            const unsigned long closed = ci ? OB_CI_Close(handle) : OB_RemoteControl_Stop(handle);
            if (closed != OB_SUCCESS) tally.Fault("the final close answered " + std::to_string(closed));
        }
        OB_CloseDeviceHandle(handle);
    }
}

class SessionStorm {
public:
    explicit SessionStorm(const Options& options)
        : options_(options),
          report_(options),
          stem_(RunStem()),
          side_(options, options.run, stem_, true),
          plugs_(side_.Tuners(), false),
          self_{"this process", options.cycles, {}, {}, {}} {
        stormer_.Rest();
    }

    int Run() {
        const ULONGLONG began = GetTickCount64();
        plugs_.PlugAll();
        OB_Initialize();
        const unsigned long entries = plugs_.Entries();
        if (!PumpUntil([&] { return ListedDevices() == entries; }, kSettleMs)) {
            report_.Problem("the library does not list the " + std::to_string(entries) + " plugged devices");
            return report_.Finish(0);
        }
        std::vector<const Heartbeat*> hearts = side_.Pool().Hearts();
        hearts.push_back(&supervisor_);
        hearts.push_back(&stormer_);
        Watchdog watchdog(hearts, options_.hangSeconds, [&](const std::string&) { plugs_.ForgetAfterHang(kForgetMs); });
        TakeStart();
        Storm();
        WindDown();
        return report_.Finish(static_cast<double>(GetTickCount64() - began) / 1000.0);
    }

private:
    void TakeStart() {
        self_.start = SampleThisProcessAtRest(kSettleMs);
        if (!options_.secondProcess) return;
        second_ = std::make_unique<SecondProcess>(options_);
        supervisor_.Rest();
        if (!second_->WaitReady(kSettleMs)) report_.Problem("the second process did not get ready");
        supervisor_.Wake();
    }

    void Storm() {
        side_.Pool().Start();
        std::atomic<int> cyclesDone{0};
        stormer_.Wake();
        std::thread storming([&] {
            ComScope com;
            if (options_.run == Run::Ci) {
                ModuleStorm modules(side_.Tuners());
                for (int cycle = 0; cycle < options_.cycles; ++cycle, ++cyclesDone) modules.Cycle(stormer_, cycle);
                stormLine_ = "module steps: " + std::to_string(modules.Steps());
            } else {
                KeyStream keys(side_.Tuners());
                for (int cycle = 0; cycle < options_.cycles; ++cycle, ++cyclesDone) keys.Cycle(stormer_);
                stormLine_ = "keys pressed: " + std::to_string(keys.Pressed()) + ", " + std::to_string(keys.Dropped()) +
                             " dropped by full queues (no reader running)";
            }
            stormer_.Rest();
        });
        bool middleTaken = false;
        PumpUntil(
            [&] {
                supervisor_.Beat("supervising the storm");
                if (!middleTaken && cyclesDone >= options_.cycles / 2) {
                    middleTaken = true;
                    self_.middle = SampleThisProcess();
                    if (second_) second_->Middle();
                }
                return cyclesDone == options_.cycles;
            },
            INFINITE);
        storming.join();
    }

    void WindDown() {
        supervisor_.Beat("stopping the workers");
        side_.Pool().Stop();
        supervisor_.Rest();
        if (second_) {
            second_->Finish(options_.cycles, static_cast<DWORD>(options_.hangSeconds) * 2000, report_);
            second_.reset();
        }
        CheckFree(options_.run, side_.Counted());
        if (side_.Sessions() == 0) side_.Counted().Fault("no session was ever opened: the run tested nothing");
        if (options_.run == Run::Ci && side_.Messages(0x404) == 0) {
            side_.Counted().Fault("no session saw a module arrive: the run tested nothing");
        }
        if (options_.run == Run::Remote && side_.Messages(0x40A) == 0) {
            side_.Counted().Fault("no reader received a key: the run tested nothing");
        }
        PumpUntil(
            [&] {
                const Sample now = SampleThisProcess();
                return now.threads == self_.start.threads && now.filterObjects == self_.start.filterObjects;
            },
            kSettleMs);
        self_.end = SampleThisProcess();
        report_.Line(stormLine_);
        report_.Line("this process: " + side_.Describe());
        Tally& tally = side_.Counted();
        report_.Counts("this process", tally.operations, tally.opens, 0, tally.Faults(), tally.Examples());
        report_.Add(self_);
    }

    const Options& options_;
    ComScope com_;
    StormReport report_;
    const std::string stem_;
    SessionSide side_;
    PlugStorm plugs_;
    Heartbeat supervisor_{"the supervising thread"};
    Heartbeat stormer_{"the storming thread"};
    std::unique_ptr<SecondProcess> second_;
    ProcessFigures self_;
    std::string stormLine_;
};

}  // namespace

int RunSessionStorm(const Options& options) { return SessionStorm(options).Run(); }

int RunSessionSecondProcess(const Options& options) {
    ComScope com;
    const Event middle(Widen(options.events + "-middle"), Event::Open);
    const Event stop(Widen(options.events + "-stop"), Event::Open);
    OB_Initialize();
    SessionSide side(options, options.storm, options.events, false);
    const unsigned long entries = EntriesOf(side.Tuners());
    if (!PumpUntil([&] { return ListedDevices() == entries; }, kSettleMs)) {
        std::printf("FAULT: the library does not list the %lu plugged devices\n", entries);
        return 1;
    }
    Watchdog watchdog(side.Pool().Hearts(), options.hangSeconds, nullptr);
    const Sample start = SampleThisProcessAtRest(kSettleMs);
    std::printf("sample start: %s\nready\n", EncodeSample(start).c_str());
    std::fflush(stdout);
    side.Pool().Start();
    PumpUntil([&] { return middle.IsSet() || stop.IsSet(); }, INFINITE);
    std::printf("sample middle: %s\n", EncodeSample(SampleThisProcess()).c_str());
    std::fflush(stdout);
    PumpUntil([&] { return stop.IsSet(); }, INFINITE);
    side.Pool().Stop();
    PumpUntil(
        [&] {
            const Sample now = SampleThisProcess();
            return now.threads == start.threads && now.filterObjects == start.filterObjects;
        },
        kSettleMs);
    std::printf("sample end: %s\n", EncodeSample(SampleThisProcess()).c_str());
    Tally& tally = side.Counted();
    std::printf("second process: %lld operations, %lld opens, %ld faults\n", tally.operations.load(), tally.opens.load(),
                tally.Faults());
    std::printf("second process: %s\n", side.Describe().c_str());
    for (const std::string& fault : tally.Examples()) std::printf("FAULT: %s\n", fault.c_str());
    std::fflush(stdout);
    return tally.Faults() == 0 ? 0 : 1;
}

}  // namespace stress
