#include "Progress.h"

#include <algorithm>
#include <cstdio>

namespace ombrel_cli {
namespace {

constexpr int kBarWidth = 30;

}  // namespace

std::string ElapsedText(unsigned seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%u:%02u", seconds / 60, seconds % 60);
    }
    return text;
}

std::string ProgressBarText(int percent, unsigned elapsedSeconds) {
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kBarWidth / 100;
    char text[96];
    std::snprintf(text, sizeof text, "[%s%s] %3d %%  %s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), shown,
                  ElapsedText(elapsedSeconds).c_str());
    return text;
}

std::string ProgressReport::Poll(int percent, unsigned elapsedSeconds) {
    if (redraw_) {
        drawn_ = true;
        return "\r" + ProgressBarText(percent, elapsedSeconds);
    }
    if (percent == lastPercent_) return {};
    lastPercent_ = percent;
    return ProgressBarText(percent, elapsedSeconds) + "\n";
}

std::string ProgressReport::Finish() {
    if (!drawn_) return {};
    drawn_ = false;
    return "\n";
}

}  // namespace ombrel_cli
