// The cost of making a multiplex's transport stream: seconds of the largest multiplex
// made by the multiplexer, and by a box (with its PID filter, lost blocks and scrambling
// on the way), against copying the same number of bytes, interleaved and repeated in one
// run. Built natively (scripts/native.sh) and for Windows (under Wine).
//
//   bench_stream CONTENT_FOLDER [SECONDS_PER_ROUND] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BoxStream.h"
#include "Multiplexer.h"
#include "Sky.h"
#include "es/ClipLibrary.h"

namespace {

using namespace tunersim;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

const sky::Multiplex& Largest() {
    const auto& all = sky::Multiplexes();
    return *std::max_element(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return sky::UsefulBitrate(a) < sky::UsefulBitrate(b);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_stream CONTENT_FOLDER [SECONDS_PER_ROUND] [ROUNDS]\n");
        return 2;
    }
    const double streamSeconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 7;
    stream::ClipLibrary clips(argv[1]);
    const sky::Multiplex& m = Largest();
    const uint64_t rate = sky::UsefulBitrate(m);
    const std::size_t piece = 4096;  // packets made per call, as the tool and the pins make them
    const std::size_t pieces = static_cast<std::size_t>(streamSeconds * rate / 1504 / piece) + 1;

    std::vector<uint8_t> out(piece * 188), source(piece * 188, 0x47);
    std::vector<uint8_t> boxOut;
    std::vector<double> made, boxed, copied;
    stream::ContinuityCounters counters;
    stream::Multiplexer mux(m, clips, 1796000000000, counters, false);

    // The box: locked on the multiplex, whole stream passed, its pay service scrambled.
    stream::BoxStream box(clips);
    stream::BoxView view;
    view.multiplex = sky::IndexOf(m.name);
    view.pass.set();
    box.Follow(view, 1796000000000);

    for (int r = 0; r < rounds; ++r) {
        auto t = Clock::now();
        for (std::size_t i = 0; i < pieces; ++i) mux.Make(out.data(), piece);
        made.push_back(Seconds(t));

        t = Clock::now();
        for (std::size_t i = 0; i < pieces; ++i) {
            boxOut.clear();
            box.Make(piece, boxOut);
        }
        boxed.push_back(Seconds(t));

        t = Clock::now();
        for (std::size_t i = 0; i < pieces; ++i) {
            std::memcpy(out.data(), source.data(), out.size());
            source[i % source.size()] ^= out[(i * 7) % out.size()];  // keep the copy from being optimised away
        }
        copied.push_back(Seconds(t));
    }
    const double covered = static_cast<double>(pieces * piece) * 1504 / rate;  // stream seconds per round
    const double mux1 = Median(made) / covered, box1 = Median(boxed) / covered, copy1 = Median(copied) / covered;
    std::printf("multiplex %s, %.3f Mbit/s; %.1f stream seconds per round, %d rounds (medians)\n", m.name.c_str(),
                rate / 1e6, covered, rounds);
    std::printf("  multiplexer: %8.3f ms per stream second  (%6.0fx real time, %5.1fx the copy)\n", mux1 * 1e3,
                1 / mux1, mux1 / copy1);
    std::printf("  box stream:  %8.3f ms per stream second  (%6.0fx real time, %5.1fx the copy)\n", box1 * 1e3,
                1 / box1, box1 / copy1);
    std::printf("  copy:        %8.3f ms per stream second  (%6.0fx real time)\n", copy1 * 1e3, 1 / copy1);
    std::printf("  goal: one stream second in at most 20 ms (50x real time): %s\n", mux1 <= 0.020 ? "met" : "NOT met");
    return 0;
}
