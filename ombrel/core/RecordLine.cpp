#include "RecordLine.h"

#include "Progress.h"

#include <cstdio>

namespace ombrel_cli {

std::string ByteCountText(std::uint64_t bytes) {
    char text[32];
    if (bytes >= 1000000) {
        std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1e6);
    } else if (bytes >= 1000) {
        std::snprintf(text, sizeof text, "%llu kB", static_cast<unsigned long long>(bytes / 1000));
    } else {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    }
    return text;
}

std::string RecordFiguresText(const RecordFigures& f) {
    const double seconds = static_cast<double>(f.elapsed.count()) / 1000.0;
    const double megabits = seconds > 0 ? static_cast<double>(f.bytes) * 8 / seconds / 1e6 : 0.0;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f Mbit/s", megabits);
    std::string text = ElapsedText(static_cast<unsigned>(f.elapsed.count() / 1000)) + "  " + ByteCountText(f.bytes) +
                       "  " + rate + "  transport errors " + std::to_string(f.transportErrors) +
                       "  continuity gaps " + std::to_string(f.continuityGaps) + "  scrambled " +
                       std::to_string(f.scrambled);
    if (f.dropped > 0) text += "  dropped " + std::to_string(f.dropped);
    return text;
}

std::string LiveLine::Update(const RecordFigures& figures) {
    const std::string text = RecordFiguresText(figures);
    if (redraw_) {
        // Spaces over what a longer line before left.
        const std::size_t pad = drawnWidth_ > text.size() ? drawnWidth_ - text.size() : 0;
        drawnWidth_ = text.size();
        return "\r" + text + std::string(pad, ' ');
    }
    if (figures.elapsed < next_) return {};
    while (next_ <= figures.elapsed) next_ += every_;
    return text + "\n";
}

std::string LiveLine::Finish(const RecordFigures& figures) {
    if (redraw_) return Update(figures) + "\n";
    return RecordFiguresText(figures) + "\n";
}

}  // namespace ombrel_cli
