#include "StormReport.h"

#include <cstdio>

namespace stress {

void StormReport::Counts(const std::string& who, long long operations, long long opens, long long refused, long faults,
                         const std::vector<std::string>& examples) {
    char line[200];
    std::snprintf(line, sizeof line, "%s: %lld operations, %lld opens, %lld refused opens, %ld faults", who.c_str(),
                  operations, opens, refused, faults);
    lines_.push_back(line);
    for (const std::string& example : examples) problems_.push_back(who + ": " + example);
    if (faults > static_cast<long>(examples.size())) {
        problems_.push_back(who + ": " + std::to_string(faults - static_cast<long>(examples.size())) + " more faults");
    }
}

int StormReport::Finish(double seconds) {
    const char* run = RunName(options_.run);
    std::printf("stress %s: %d cycles of %d tuners in %.1f s (%.2f cycles/s)\n", run, options_.cycles, options_.tuners,
                seconds, seconds > 0 ? options_.cycles / seconds : 0.0);
    for (const std::string& line : lines_) std::printf("%s\n", line.c_str());
    for (const ProcessFigures& figures : figures_) {
        std::printf("%s", FormatFigures(figures).c_str());
        for (const std::string& problem : SettledProblems(figures)) problems_.push_back(problem);
    }
    if (!figures_.empty()) {
        if (auto problem = KeyGrowthProblem(figures_.front(), options_.maxKeyGrowthPerCycle)) problems_.push_back(*problem);
    }
    for (const ProcessFigures& figures : figures_) std::printf("%s", FormatFigureLines(run, figures).c_str());
    for (const std::string& problem : problems_) std::printf("FAULT: %s\n", problem.c_str());
    std::printf("stress %s: %s\n", run, problems_.empty() ? "passed" : "FAILED");
    std::fflush(stdout);
    return problems_.empty() ? 0 : 1;
}

}  // namespace stress
