// The printed outcome of a run: its figures, counts and faults, and the verdict.
#pragma once

#include <string>
#include <vector>

#include "Figures.h"
#include "StressOptions.h"
#include "Tally.h"

namespace stress {

class StormReport {
public:
    explicit StormReport(const Options& options) : options_(options) {}

    void Add(const ProcessFigures& figures) { figures_.push_back(figures); }
    void Problem(const std::string& text) { problems_.push_back(text); }
    void Counts(const std::string& who, long long operations, long long opens, long long refused, long faults,
                const std::vector<std::string>& examples);
    void Line(const std::string& text) { lines_.push_back(text); }

    // Prints everything and returns the exit code: 0 when the run passed.
    int Finish(double seconds);

private:
    const Options& options_;
    std::vector<ProcessFigures> figures_;
    std::vector<std::string> lines_;
    std::vector<std::string> problems_;
};

}  // namespace stress
