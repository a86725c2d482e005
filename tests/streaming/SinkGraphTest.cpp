// The transport-stream sink in Wine's Filter Graph Manager, fed by a push source of the
// test's own: whole packets out of split, dirty, broken and empty samples, the media
// types it takes, how a stream's end reaches the application through the graph helper,
// a failing callback, and the tuner's filters handed back after a stop.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <vfwmsgs.h>

#include <mutex>
#include <vector>

#include <OmbrelStream.h>

#include "PushSource.h"
#include "StreamGraph.h"

namespace {

using namespace streamtest;
using Microsoft::WRL::ComPtr;
using Bytes = std::vector<uint8_t>;
using ombrel::stream::StreamGraph;
using ombrel::stream::StreamSource;

const GUID kBdaTransport = {0xF4AEB342, 0x0329, 0x4FDD, {0xA8, 0xFD, 0x4A, 0xFF, 0x49, 0x26, 0xC9, 0x78}};

struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
};

// Packet i: PID 0x100 + i % 4 with its own continuity counter; payload bytes that
// differ from packet to packet.
Bytes PacketsOf(std::size_t first, std::size_t count) {
    Bytes out;
    for (std::size_t i = first; i < first + count; ++i) {
        Bytes p(188);
        p[0] = 0x47;
        p[1] = 0x01;
        p[2] = static_cast<uint8_t>(i % 4);
        p[3] = static_cast<uint8_t>(0x10 | (i / 4) % 16);
        for (std::size_t k = 4; k < 188; ++k) p[k] = static_cast<uint8_t>(7 * i + k);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

// What the callback saw; fails from call `failAt` on when set.
struct Received {
    std::mutex mutex;
    Bytes bytes;
    std::vector<bool> flags;
    std::vector<DWORD> threads;
    std::size_t failAt = SIZE_MAX;
    HRESULT failure = HRESULT_FROM_WIN32(ERROR_DISK_FULL);

    static HRESULT OMBREL_CALL Callback(void* context, const unsigned char* packets, unsigned long count, BOOL discontinuity) {
        auto& self = *static_cast<Received*>(context);
        std::lock_guard<std::mutex> lock(self.mutex);
        self.flags.push_back(discontinuity != FALSE);
        self.threads.push_back(GetCurrentThreadId());
        if (self.flags.size() >= self.failAt) return self.failure;
        self.bytes.insert(self.bytes.end(), packets, packets + count * 188);
        return S_OK;
    }
    std::size_t Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return flags.size();
    }
};

std::unique_ptr<StreamGraph> Start(PushSource* source, Received& received, HRESULT expected = S_OK,
                                   std::function<bool()> present = {}) {
    std::unique_ptr<StreamGraph> graph;
    StreamSource from;
    from.tuner = source;
    from.present = std::move(present);
    EXPECT_EQ(StreamGraph::Start(from, &Received::Callback, &received, graph), expected);
    return graph;
}

bool InAGraph(IBaseFilter* filter) {
    FILTER_INFO info{};
    filter->QueryFilterInfo(&info);
    if (info.pGraph) info.pGraph->Release();
    return info.pGraph != nullptr;
}

TEST(SinkGraph, CarriesSplitDirtyBrokenAndEmptySamplesToTheCallbackAsWholePackets) {
    Apartment com;
    Bytes garbage(100, 0xA5);
    garbage[3] = garbage[3 + 188 - 100] = 0x47;
    const Bytes a = PacketsOf(0, 20);
    Bytes cutShort = PacketsOf(15, 1);
    cutShort.resize(120);
    Bytes late = PacketsOf(40, 20);
    late[188 * 5 + 3] |= 0x80;  // packet 45 scrambled
    late[188 * 6 + 1] |= 0x80;  // packet 46 damaged on the way
    const Bytes lateWithLoss = Cat({Slice(late, 0, 188 * 12), Slice(late, 188 * 13, late.size())});  // 52 lost

    Script script;
    script.subtype = kBdaTransport;
    script.samples.push_back({Cat({garbage, Slice(a, 0, 188 * 3 + 50)})});
    script.samples.push_back({Slice(a, 188 * 3 + 50, 188 * 5 + 10)});
    script.samples.push_back({});
    script.samples.push_back({Slice(a, 188 * 5 + 10, 188 * 10)});
    script.samples.push_back({Cat({Slice(a, 188 * 10, 188 * 15), cutShort, Slice(a, 188 * 16, 188 * 20)})});
    script.samples.push_back({Slice(lateWithLoss, 0, 188 * 10), true});
    std::size_t bytes = 0;
    for (std::size_t at = 188 * 10; at < lateWithLoss.size(); at += 61)
        script.samples.push_back({Slice(lateWithLoss, at, std::min(at + 61, lateWithLoss.size()))});
    for (const auto& s : script.samples) bytes += s.bytes.size();
    const std::size_t samples = script.samples.size();
    auto source = PushSource::Make(std::move(script));

    Received received;
    auto graph = Start(source.Get(), received);
    ASSERT_TRUE(graph);
    OBS_STREAM_EVENT event = OBS_EVENT_NONE;
    HRESULT reason = E_FAIL;
    ASSERT_EQ(graph->Wait(10000, event, reason), S_OK);
    EXPECT_EQ(event, OBS_EVENT_COMPLETE);
    EXPECT_EQ(reason, S_OK);

    // Everything whole went on, at the end of the stream the last packet too; the garbage
    // and the cut-short packet did not.
    const Bytes expected = Cat({Slice(a, 0, 188 * 15), Slice(a, 188 * 16, 188 * 20), lateWithLoss});
    EXPECT_EQ(received.bytes.size() / 188, expected.size() / 188);
    EXPECT_TRUE(received.bytes == expected);
    for (DWORD thread : received.threads) EXPECT_NE(thread, GetCurrentThreadId()) << "packets come on the streaming thread";

    OBS_STATISTICS figures{};
    ASSERT_EQ(graph->Statistics(figures), S_OK);
    EXPECT_EQ(figures.Buffers, samples);
    EXPECT_EQ(figures.BytesReceived, bytes);
    EXPECT_EQ(figures.Packets, 38u);
    EXPECT_EQ(figures.BytesDropped, 100u + 120u);
    EXPECT_EQ(figures.SyncLosses, 1u);
    EXPECT_EQ(figures.Discontinuities, 3u);  // after the garbage, the cut-short packet, the break
    EXPECT_EQ(std::count(received.flags.begin(), received.flags.end(), true), 3);
    EXPECT_EQ(figures.ContinuityErrors, 1u);  // packet 52
    EXPECT_EQ(figures.ScrambledPackets, 1u);
    EXPECT_EQ(figures.TransportErrors, 1u);
    for (HRESULT hr : source->Results()) EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST(SinkGraph, TakesTheTransportStreamTypesOnly) {
    Apartment com;
    const GUID mpeg2Transport = {0xE06D8023, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
    for (const GUID& subtype : {kBdaTransport, mpeg2Transport, GUID_NULL}) {
        Script script;
        script.subtype = subtype;
        script.samples.push_back({PacketsOf(0, 4)});
        auto source = PushSource::Make(std::move(script));
        Received received;
        auto graph = Start(source.Get(), received);
        ASSERT_TRUE(graph);
        OBS_STREAM_EVENT event{};
        HRESULT reason{};
        EXPECT_EQ(graph->Wait(10000, event, reason), S_OK);
        EXPECT_EQ(event, OBS_EVENT_COMPLETE);
        EXPECT_EQ(received.bytes, PacketsOf(0, 4));
        ComPtr<IPin> peer;
        ASSERT_EQ(source->Pin()->ConnectedTo(peer.GetAddressOf()), S_OK);
        AM_MEDIA_TYPE type{};
        ASSERT_EQ(peer->ConnectionMediaType(&type), S_OK);
        EXPECT_TRUE(IsEqualGUID(type.subtype, subtype));
        EXPECT_TRUE(IsEqualGUID(type.majortype, MEDIATYPE_Stream));
    }
    for (const auto& [major, subtype] : {std::pair{MEDIATYPE_Video, kBdaTransport}, std::pair{MEDIATYPE_Stream, MEDIASUBTYPE_RGB24}}) {
        Script script;
        script.majortype = major;
        script.subtype = subtype;
        auto source = PushSource::Make(std::move(script));
        Received received;
        auto graph = Start(source.Get(), received, VFW_E_TYPE_NOT_ACCEPTED);
        EXPECT_FALSE(graph);
        EXPECT_FALSE(InAGraph(source.Get())) << "a failed start leaves nothing in a graph";
    }
}

TEST(SinkGraph, TheEndOfAStreamIsReportedWithItsWeightiestReason) {
    Apartment com;
    struct Case {
        Ending ending;
        OBS_STREAM_EVENT event;
        HRESULT reason;
    };
    for (const Case& c : {Case{Ending::DeviceLost, OBS_EVENT_DEVICE_LOST, S_OK},
                          Case{Ending::EndThenDeviceLost, OBS_EVENT_DEVICE_LOST, S_OK},
                          Case{Ending::ErrorAbort, OBS_EVENT_ERROR, E_ACCESSDENIED}}) {
        SCOPED_TRACE(static_cast<int>(c.ending));
        Script script;
        script.subtype = kBdaTransport;
        script.samples.push_back({PacketsOf(0, 5)});
        script.ending = c.ending;
        script.error = E_ACCESSDENIED;
        auto source = PushSource::Make(std::move(script));
        Received received;
        auto graph = Start(source.Get(), received);
        ASSERT_TRUE(graph);
        OBS_STREAM_EVENT event{};
        HRESULT reason = E_UNEXPECTED;
        ASSERT_EQ(graph->Wait(10000, event, reason), S_OK);
        EXPECT_EQ(event, c.event);
        EXPECT_EQ(reason, c.reason);
        // Once ended, the same answer at once.
        event = OBS_EVENT_NONE;
        EXPECT_EQ(graph->Wait(0, event, reason), S_OK);
        EXPECT_EQ(event, c.event);
    }

    // A stream that goes on: the time is up, nothing ended; then the device goes without
    // the filter saying so.
    Script script;
    script.subtype = kBdaTransport;
    script.samples.push_back({PacketsOf(0, 5)});
    script.ending = Ending::Nothing;
    auto source = PushSource::Make(std::move(script));
    Received received;
    std::atomic<bool> present{true};
    auto graph = Start(source.Get(), received, S_OK, [&] { return present.load(); });
    ASSERT_TRUE(graph);
    OBS_STREAM_EVENT event = OBS_EVENT_COMPLETE;
    HRESULT reason = E_FAIL;
    const ULONGLONG before = GetTickCount64();
    EXPECT_EQ(graph->Wait(400, event, reason), S_FALSE);
    EXPECT_GE(GetTickCount64() - before, 390u);
    EXPECT_EQ(event, OBS_EVENT_NONE);
    present = false;
    EXPECT_EQ(graph->Wait(5000, event, reason), S_OK);
    EXPECT_EQ(event, OBS_EVENT_DEVICE_LOST);
}

TEST(SinkGraph, AFailingCallbackStopsTheSinkAndTheGraphHearsWhy) {
    Apartment com;
    Script script;
    script.subtype = kBdaTransport;
    for (std::size_t i = 0; i < 8; ++i) script.samples.push_back({PacketsOf(4 * i, 4)});
    auto source = PushSource::Make(std::move(script));
    Received received;
    received.failAt = 3;
    auto graph = Start(source.Get(), received);
    ASSERT_TRUE(graph);
    OBS_STREAM_EVENT event{};
    HRESULT reason = S_OK;
    ASSERT_EQ(graph->Wait(10000, event, reason), S_OK);
    EXPECT_EQ(event, OBS_EVENT_ERROR);
    EXPECT_EQ(reason, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    ASSERT_TRUE(source->WaitPushed(5000));
    EXPECT_EQ(graph->Stop(), S_OK);
    EXPECT_EQ(received.Calls(), 3u) << "nothing more after the failure, not even at the stop";
    const auto results = source->Results();
    ASSERT_EQ(results.size(), 8u);
    // The first sample's packets went on in one call, the second sample's in two (the
    // packet kept from the first, then its own), the second of which failed: from the
    // second sample on every one is refused with the callback's code.
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(std::count(results.begin(), results.end(), HRESULT_FROM_WIN32(ERROR_DISK_FULL)), 7);
}

TEST(SinkGraph, AStopHandsTheFiltersBackAndABusyFilterIsRefused) {
    Apartment com;
    Script script;
    script.subtype = kBdaTransport;
    script.samples.push_back({PacketsOf(0, 6)});
    script.ending = Ending::Nothing;
    auto source = PushSource::Make(std::move(script));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Received received;
        auto graph = Start(source.Get(), received);
        ASSERT_TRUE(graph);
        ASSERT_TRUE(source->WaitPushed(5000));
        Received other;
        EXPECT_FALSE(Start(source.Get(), other, HRESULT_FROM_WIN32(ERROR_BUSY)));
        EXPECT_TRUE(InAGraph(source.Get()));
        EXPECT_EQ(received.bytes.size(), 5u * 188) << "the last packet waits for the byte after it";
        EXPECT_EQ(graph->Stop(), S_OK);
        EXPECT_EQ(received.bytes, PacketsOf(0, 6)) << "at the stop it goes on";
        EXPECT_FALSE(InAGraph(source.Get()));
        ComPtr<IPin> peer;
        EXPECT_EQ(source->Pin()->ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);
    }
}

TEST(SinkApi, RefusesWhatItCannotUse) {
    Apartment com;
    ComPtr<IBaseFilter> sink;
    EXPECT_EQ(OBS_CreateSink(nullptr, nullptr, sink.GetAddressOf()), E_POINTER);
    EXPECT_EQ(OBS_CreateSink(&Received::Callback, nullptr, nullptr), E_POINTER);
    Received received;
    ASSERT_EQ(OBS_CreateSink(&Received::Callback, &received, sink.GetAddressOf()), S_OK);
    OBS_STATISTICS figures{};
    figures.Packets = 99;
    EXPECT_EQ(OBS_GetSinkStatistics(sink.Get(), &figures), S_OK);
    EXPECT_EQ(figures.Packets, 0u);
    EXPECT_EQ(OBS_GetSinkStatistics(sink.Get(), nullptr), E_POINTER);
    auto source = PushSource::Make({});
    EXPECT_EQ(OBS_GetSinkStatistics(source.Get(), &figures), E_NOINTERFACE);

    // The sink's pin refuses other types and a second connection.
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(sink->EnumPins(pins.GetAddressOf()), S_OK);
    ComPtr<IPin> in;
    ASSERT_EQ(pins->Next(1, in.GetAddressOf(), nullptr), S_OK);
    AM_MEDIA_TYPE video{};
    video.majortype = MEDIATYPE_Video;
    EXPECT_EQ(in->QueryAccept(&video), S_FALSE);
    PIN_DIRECTION direction{};
    EXPECT_EQ(in->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_INPUT);

    OBS_STREAM stream = reinterpret_cast<OBS_STREAM>(1);
    EXPECT_EQ(OBS_StartStream(0x7FFF1234, &Received::Callback, nullptr, &stream), E_HANDLE);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(OBS_StartStream(0x7FFF1234, nullptr, nullptr, &stream), E_POINTER);
    OBS_STREAM_EVENT event{};
    EXPECT_EQ(OBS_WaitStream(nullptr, 0, &event, nullptr), E_POINTER);
    EXPECT_EQ(OBS_GetStreamStatistics(nullptr, &figures), E_POINTER);
    EXPECT_EQ(OBS_StopStream(nullptr, &figures), S_OK);
}

}  // namespace
