// Figures of a process at the start, middle and end of a stress run, how they are
// printed, and what a run requires of them (plain C++).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace stress {

inline constexpr long kUnknown = -1;

struct Sample {
    std::map<std::string, long> handlesByType;  // object type name -> open handles
    long threads = kUnknown;
    long filterObjects = kUnknown;  // the simulator's live filter objects in the process
    std::uint64_t privateBytes = 0;

    long Handles() const;
    long HandlesOf(const std::string& type) const;
};

struct ProcessFigures {
    std::string process;  // "this process", "second process", "Romflux"
    int cycles = 0;
    Sample start, middle, end;
};

// A table: one row per handle type (and their total), threads, filter objects and
// private memory; columns start, middle, end and the growth per cycle from start to end.
std::string FormatFigures(const ProcessFigures& figures);

// One line per figure that stress.sh collects: "figure <run> <process> <name> <start>
// <middle> <end> <per cycle>".
std::string FormatFigureLines(const std::string& run, const ProcessFigures& figures);

// Growth per cycle from start to end; 0 for fewer than one cycle.
double PerCycle(long start, long end, int cycles);

// What must hold when the storm is over and everything is closed: the threads and the
// live filter objects are back to their start. One message per broken rule.
std::vector<std::string> SettledProblems(const ProcessFigures& figures);

// When a limit is given: key handles must not grow by more than it per cycle.
std::optional<std::string> KeyGrowthProblem(const ProcessFigures& figures, std::optional<double> maxPerCycle);

// The same, as a serialised line for a second process to report to the first, and back.
std::string EncodeSample(const Sample& sample);
Sample DecodeSample(const std::string& line);

}  // namespace stress
