// The live line of a recording: time, bytes, bitrate and the packets with transport
// errors, continuity gaps and scrambling. On a console it is rewritten in place; into a
// file or pipe a line is written every `lineEvery` instead, and one at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace ombrel_cli {

struct RecordFigures {
    std::chrono::milliseconds elapsed{0};
    std::uint64_t bytes = 0;            // written to the file
    std::uint64_t transportErrors = 0;  // packets flagged damaged by the demodulator
    std::uint64_t continuityGaps = 0;   // packets lost before a packet, per PID
    std::uint64_t scrambled = 0;        // packets still scrambled
    std::uint64_t dropped = 0;          // packets the disk did not take in time
};

// "0:10  2.46 MB  1.97 Mbit/s  transport errors 0  continuity gaps 0  scrambled 0"
// (", dropped N" when the disk fell behind).
std::string RecordFiguresText(const RecordFigures& figures);
// "2.46 MB" (10^6 bytes), "812 kB", "188 bytes".
std::string ByteCountText(std::uint64_t bytes);

class LiveLine {
public:
    LiveLine(bool redrawInPlace, std::chrono::milliseconds lineEvery) : redraw_(redrawInPlace), every_(lineEvery) {}

    // What to write for a reading now; empty when nothing changes on the screen.
    std::string Update(const RecordFigures& figures);
    // The last reading, ending the line.
    std::string Finish(const RecordFigures& figures);

private:
    bool redraw_;
    std::chrono::milliseconds every_;
    std::chrono::milliseconds next_{0};
    std::size_t drawnWidth_ = 0;
};

}  // namespace ombrel_cli
