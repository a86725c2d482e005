// Romflux's start-up against a minimal dialog program of the same shape, each started
// from here as a user would start it: the time from CreateProcess until the program's
// tuner list holds all its lines, and its working set and private memory then. The
// minimal dialog runs once with fixed lines (the cost of any dialog program) and once
// with the platform's discovery floor (each category listed, every filter bound, one
// firmware get per tuner). Each round starts the three once, in an order that turns
// from round to round; the ratios are taken within each round, so that the machine's
// changing load falls on all three alike.
//
//   bench_startup [rounds [tuners...]]     (defaults: 9 rounds; 8, 32 and 64 tuners)
#include "BenchSupport.h"
#include "UiDriver.h"

#include <TunerSimControl.h>

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTag = 0x53;  // 'S': this benchmark's simulated boxes
constexpr int kList = 1001;
constexpr DWORD kReadyTimeoutMs = 60000;

struct Program {
    const char* name;
    std::wstring exe;
    std::wstring arguments;
    const wchar_t* caption;
};

struct Sample {
    double readyMs = -1;
    double workingSetMiB = 0;
    double privateMiB = 0;
};

// The dialog of the process once it exists; polled often, since the time to it counts.
HWND WaitForDialog(DWORD processId, const wchar_t* caption, double deadline) {
    for (;;) {
        if (HWND dialog = uidriver::FindTopLevelWindow(processId, L"#32770", caption)) return dialog;
        if (bench::NowMs() > deadline) return nullptr;
        Sleep(1);
    }
}

// The list's line count; the send waits while the program is busy initialising.
bool WaitForLines(HWND list, int lines, double deadline) {
    for (;;) {
        DWORD_PTR count = 0;
        if (SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, kReadyTimeoutMs, &count) &&
            static_cast<int>(count) == lines)
            return true;
        if (bench::NowMs() > deadline) return false;
        Sleep(1);
    }
}

Sample Run(const Program& program, int lines) {
    Sample sample;
    const double start = bench::NowMs();
    uidriver::Process process = uidriver::Process::Launch(program.exe, program.arguments, uidriver::BinDirectory());
    const double deadline = start + kReadyTimeoutMs;
    HWND dialog = WaitForDialog(process.Id(), program.caption, deadline);
    if (dialog && WaitForLines(GetDlgItem(dialog, kList), lines, deadline)) {
        sample.readyMs = bench::NowMs() - start;
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
            sample.workingSetMiB = static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
            // Wine fills the commit charge (PagefileUsage) but not PrivateUsage, which
            // Windows gives the same value.
            const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
            sample.privateMiB = static_cast<double>(privateBytes) / (1024.0 * 1024.0);
        }
    }
    if (dialog) uidriver::RequestClose(dialog);
    if (!process.WaitForExit(15000)) process.Kill();
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    const std::wstring bin = uidriver::BinDirectory();
    int failures = 0;
    std::printf("Start-up: ms from CreateProcess until the tuner list holds all lines; median (range) of %d rounds\n",
                rounds);
    std::printf("%7s %-26s %22s %10s %10s\n", "tuners", "program", "ready ms", "WS MiB", "private MiB");
    std::vector<int> sets;
    for (int i = 2; i < argc; ++i) sets.push_back(std::atoi(argv[i]));
    if (sets.empty()) sets = {8, 32, 64};
    std::vector<double> romfluxPerTuner;
    for (int tuners : sets) {
        bench::PlugTuners(tuners, kTag);
        const std::vector<Program> programs = {
            {"Romflux", bin + L"Romflux.exe", L"", L"Talvex Firmware Update"},
            {"minimal dialog", bin + L"bench_minimal_dialog.exe", std::to_wstring(tuners), L"Minimal Dialog"},
            {"minimal dialog + floor", bin + L"bench_minimal_dialog.exe", L"--floor", L"Minimal Dialog"},
        };
        std::vector<std::vector<Sample>> samples(programs.size(), std::vector<Sample>(rounds));
        std::vector<double> overMinimal, overFloor;
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t i = 0; i < programs.size(); ++i) {
                const std::size_t p = (i + static_cast<std::size_t>(round)) % programs.size();
                samples[p][round] = Run(programs[p], tuners);
            }
            const double romflux = samples[0][round].readyMs;
            const double minimal = samples[1][round].readyMs;
            const double floor = samples[2][round].readyMs;
            if (romflux > 0 && minimal > 0 && floor > 0) {
                overMinimal.push_back(romflux / minimal);
                overFloor.push_back(romflux / floor);
            }
        }
        std::vector<double> medians;
        for (std::size_t p = 0; p < programs.size(); ++p) {
            std::vector<double> ready, workingSet, privateBytes;
            for (const Sample& s : samples[p]) {
                if (s.readyMs < 0) {
                    std::fprintf(stderr, "%s with %d tuners: the list never held all lines\n", programs[p].name, tuners);
                    ++failures;
                    continue;
                }
                ready.push_back(s.readyMs);
                workingSet.push_back(s.workingSetMiB);
                privateBytes.push_back(s.privateMiB);
            }
            const bench::Spread spread = bench::Summarise(ready);
            medians.push_back(spread.median);
            std::printf("%7d %-26s %22s %10.2f %10.2f\n", tuners, programs[p].name, bench::Describe(spread).c_str(),
                        bench::Summarise(workingSet).median, bench::Summarise(privateBytes).median);
        }
        std::printf("%7d Romflux / minimal dialog: %s   Romflux / minimal dialog + floor: %s (goal at 64: <= 1.5)\n",
                    tuners, bench::Describe(bench::Summarise(overMinimal)).c_str(),
                    bench::Describe(bench::Summarise(overFloor)).c_str());
        if (tuners > 0) romfluxPerTuner.push_back((medians[0] - medians[1]) / tuners);
        std::fflush(stdout);
    }
    std::printf("Romflux beyond the minimal dialog, ms per tuner at");
    for (std::size_t i = 0; i < romfluxPerTuner.size(); ++i) std::printf(" %.2f", romfluxPerTuner[i]);
    std::printf(" (linear growth: about equal)\n");
    tunersim::Reset(false);
    return failures;
}
