// A second process for the streaming tests: streams one simulated tuner through a graph
// of its own for a while and says what arrived.
//   stream_graph_child <display name> <milliseconds>
// Exit codes: 0 packets arrived whole and in order, 1 they did not, 2 bad arguments or no
// graph, 3 the tuner's stream is taken by another graph (kStreamInUse).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "GraphSupport.h"
#include "StreamFormat.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: stream_graph_child <display name> <milliseconds>\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    int code = 2;
    try {
        using namespace streamtest;
        ComPtr<IBaseFilter> source = BindDisplayName(argv[1]);
        GrabberGraph graph;
        if (!source || FAILED(graph.Add(source.Get(), L"Tuner")) || FAILED(graph.ConnectToGrabber(source.Get(), true))) {
            std::printf("no graph on %s\n", argv[1]);
        } else {
            const HRESULT hr = graph.RunOrRefusal();
            if (hr == tunersim::kStreamInUse) {
                std::printf("refused: the stream is in use\n");
                code = 3;
            } else if (FAILED(hr)) {
                std::printf("Run failed: 0x%08lX\n", static_cast<unsigned long>(hr));
            } else {
                Sleep(static_cast<DWORD>(std::atoi(argv[2])));
                graph.Stop();
                const Tally t = graph.Counter().Snapshot();
                std::printf("packets %llu gaps %llu bad %llu pat %u\n", static_cast<unsigned long long>(t.packets),
                            static_cast<unsigned long long>(t.continuityGaps),
                            static_cast<unsigned long long>(t.badSamples), t.lastPatTransportStream);
                code = t.packets > 0 && t.badSamples == 0 && t.continuityGaps == 0 ? 0 : 1;
            }
        }
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
    }
    CoUninitialize();
    return code;
}
