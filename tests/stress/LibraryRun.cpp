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

class Event {
public:
    explicit Event(const std::wstring& name) : handle_(CreateEventW(nullptr, TRUE, FALSE, name.c_str())) {
        if (!handle_) throw std::runtime_error("cannot create a named event");
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() { CloseHandle(handle_); }
    void Set() { SetEvent(handle_); }
    bool IsSet() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

private:
    HANDLE handle_;
};

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The second process of a run, seen from the first: started, told when the storm is
// half way and when it is over, and read back.
class SecondProcess {
public:
    SecondProcess(const Options& options)
        : events_("OmbrelStress-" + std::to_string(GetCurrentProcessId())),
          middle_(Widen(events_ + "-middle")),
          stop_(Widen(events_ + "-stop")),
          child_(L"worker --events " + Widen(events_) + L" --threads " + std::to_wstring(options.threads) +
                 L" --tuners " + std::to_wstring(options.tuners) + L" --hang-seconds " + std::to_wstring(options.hangSeconds)) {}

    bool WaitReady(DWORD timeoutMs) {
        return PumpUntil([&] { return child_.Output().find("ready") != std::string::npos; }, timeoutMs);
    }
    void Middle() { middle_.Set(); }
    void Kill() { child_.Kill(); }

    // Tells it to stop and reads what it found into the report.
    void Finish(int cycles, DWORD timeoutMs, StormReport& report) {
        stop_.Set();
        const auto code = child_.Wait(timeoutMs);
        const std::string output = child_.Output();
        ProcessFigures figures{"second process", cycles, {}, {}, {}};
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind("sample start: ", 0) == 0) figures.start = DecodeSample(line.substr(14));
            if (line.rfind("sample middle: ", 0) == 0) figures.middle = DecodeSample(line.substr(15));
            if (line.rfind("sample end: ", 0) == 0) figures.end = DecodeSample(line.substr(12));
            if (line.rfind("second process: ", 0) == 0 || line.rfind("HANG", 0) == 0) report.Line(line);
            if (line.rfind("FAULT: ", 0) == 0) report.Problem("second process: " + line.substr(7));
        }
        report.Add(figures);
        if (!code) {
            child_.Kill();
            report.Problem("the second process did not end when told to");
        } else if (*code == kExitHang) {
            report.Problem("the second process hung");
        } else if (*code != 0) {
            report.Problem("the second process ended with exit code " + std::to_string(*code));
        }
    }

private:
    std::string events_;
    Event middle_, stop_;
    ChildProcess child_;
};

// Pumps until the library lists every tuner again and the threads and filter objects
// of this process are back to their start: what is left then stays.
void Settle(unsigned long entries, const Sample& start) {
    PumpUntil(
        [&] {
            const Sample now = SampleThisProcess();
            return ListedDevices() == entries && now.threads == start.threads && now.filterObjects == start.filterObjects;
        },
        kSettleMs);
}

}  // namespace

int RunLibraryStorm(const Options& options) {
    const ULONGLONG began = GetTickCount64();
    ComScope com;
    StormReport report(options);
    PlugStorm storm(options.tuners, options.broadcastEach);
    storm.PlugAll();
    OB_Initialize();
    GeneralWindow general;
    if (!PumpUntil([&] { return ListedDevices() == storm.Entries(); }, kSettleMs)) {
        report.Problem("the library does not list the " + std::to_string(storm.Entries()) + " plugged devices");
        return report.Finish(0);
    }
    std::optional<RomfluxWatch> romflux;
    if (options.run == Run::Romflux) romflux.emplace(storm.Entries(), kSettleMs);

    Tally tally;
    const std::set<std::string> guids = GuidStringsOf(storm.Tuners());
    const WorkerShared shared{tally, guids};
    WorkerPool pool(options.threads, shared);
    Heartbeat supervisor("the supervising thread"), plugger("the plugging thread");
    std::vector<const Heartbeat*> hearts = pool.Hearts();
    hearts.push_back(&supervisor);
    hearts.push_back(&plugger);
    plugger.Rest();
    std::unique_ptr<SecondProcess> second;
    Watchdog watchdog(hearts, options.hangSeconds, [&](const std::string&) {
        if (second) second->Kill();
        storm.ForgetAfterHang(kForgetMs);
    });

    ProcessFigures self{"this process", options.cycles, {}, {}, {}};
    ProcessFigures app{"Romflux", options.cycles, {}, {}, {}};
    self.start = SampleThisProcessAtRest(kSettleMs);
    if (romflux) app.start = SampleProcess(romflux->Process());
    if (options.secondProcess) {
        second = std::make_unique<SecondProcess>(options);
        supervisor.Rest();
        if (!second->WaitReady(kSettleMs)) report.Problem("the second process did not get ready");
        supervisor.Wake();
    }

    pool.Start();
    std::atomic<int> cyclesDone{0};
    plugger.Wake();
    // Each half cycle lasts until the library has taken it in and, once the tuners are
    // back, until the workers have opened some of them: a storm in which the library
    // never lists anything would test nothing.
    const auto settle = [&](bool plugged) {
        plugger.Beat(plugged ? "waiting for the library to list the tuners" : "waiting for the library to drop the tuners");
        const unsigned long listed = plugged ? storm.Entries() : 0;
        const long long opens = tally.opens + static_cast<long long>(options.threads) * kOpensPerCycle;
        const ULONGLONG end = GetTickCount64() + kSettleMs;
        while (ListedDevices() != listed || (plugged && tally.opens < opens)) {
            if (GetTickCount64() >= end) {
                tally.Fault(plugged ? "the replugged tuners were not listed and opened in time" : "the unplugged tuners stayed listed");
                return;
            }
            Sleep(10);
        }
    };
    std::thread plugging([&] {
        ComScope pluggingCom;
        for (int cycle = 0; cycle < options.cycles; ++cycle) {
            storm.Cycle(plugger, settle);
            if (options.stallDriver && cycle == 0) storm.StallFirmwareRequests();
            ++cyclesDone;
        }
        plugger.Rest();
    });
    bool middleTaken = false;
    ULONGLONG lastCheck = GetTickCount64();
    PumpUntil(
        [&] {
            supervisor.Beat("supervising the storm");
            if (!middleTaken && cyclesDone >= options.cycles / 2) {
                middleTaken = true;
                self.middle = SampleThisProcess();
                if (romflux) app.middle = SampleProcess(romflux->Process());
                if (second) second->Middle();
            }
            if (romflux && GetTickCount64() - lastCheck >= kRomfluxCheckMs) {
                lastCheck = GetTickCount64();
                if (auto problem = romflux->Check()) tally.Fault(*problem);
            }
            return cyclesDone == options.cycles;
        },
        INFINITE);
    plugging.join();

    supervisor.Beat("stopping the workers");
    pool.Stop();
    supervisor.Rest();
    if (second) second->Finish(options.cycles, static_cast<DWORD>(options.hangSeconds) * 2000, report);
    Settle(storm.Entries(), self.start);
    self.end = SampleThisProcess();
    if (romflux) {
        if (!romflux->WaitForAllTuners(kSettleMs)) tally.Fault("Romflux does not list every tuner after the storm");
        app.end = SampleProcess(romflux->Process());
        if (auto problem = romflux->Close(kSettleMs)) tally.Fault(*problem);
    }

    report.Counts("this process", tally.operations, tally.opens, tally.refusedOpens, tally.Faults(), tally.Examples());
    report.Add(self);
    if (romflux) report.Add(app);
    return report.Finish(static_cast<double>(GetTickCount64() - began) / 1000.0);
}

int RunSecondProcess(const Options& options) {
    ComScope com;
    const std::wstring events = Widen(options.events);
    HANDLE middle = OpenEventW(SYNCHRONIZE, FALSE, (events + L"-middle").c_str());
    HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, (events + L"-stop").c_str());
    if (!middle || !stop) {
        std::printf("FAULT: the first process's events are missing\n");
        return 1;
    }
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
    PumpUntil([&] { return WaitForSingleObject(middle, 0) == WAIT_OBJECT_0 || WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }, INFINITE);
    std::printf("sample middle: %s\n", EncodeSample(SampleThisProcess()).c_str());
    std::fflush(stdout);
    PumpUntil([&] { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }, INFINITE);
    pool.Stop();
    PumpUntil([&] { return SampleThisProcess().filterObjects == start.filterObjects; }, kSettleMs);
    std::printf("sample end: %s\n", EncodeSample(SampleThisProcess()).c_str());
    std::printf("second process: %lld operations, %lld opens, %lld refused opens, %ld faults\n", tally.operations.load(),
                tally.opens.load(), tally.refusedOpens.load(), tally.Faults());
    for (const std::string& fault : tally.Examples()) std::printf("FAULT: %s\n", fault.c_str());
    std::fflush(stdout);
    CloseHandle(middle);
    CloseHandle(stop);
    return tally.Faults() == 0 ? 0 : 1;
}

}  // namespace stress
