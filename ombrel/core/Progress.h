// The text progress bar of an update. On a console it is redrawn in place at every
// poll; into a file or pipe a line is written whenever the percentage changes.
#pragma once

#include <string>

namespace ombrel_cli {

// "m:ss", or "h:mm:ss" from an hour on.
std::string ElapsedText(unsigned seconds);

// "[############..................]  40 %  0:07"; percentages above 100 show as 100.
std::string ProgressBarText(int percent, unsigned elapsedSeconds);

class ProgressReport {
public:
    explicit ProgressReport(bool redrawInPlace) : redraw_(redrawInPlace) {}

    // What to write for one poll; empty when nothing changes on the screen.
    std::string Poll(int percent, unsigned elapsedSeconds);
    // What to write when the run ends, before its message (ends a redrawn line).
    std::string Finish();

private:
    bool redraw_;
    bool drawn_ = false;
    int lastPercent_ = -1;
};

}  // namespace ombrel_cli
