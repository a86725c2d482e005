// The simulated tuners' transport streams through their DirectShow pins, consumed by
// stock parts: Wine's Filter Graph Manager, the Sample Grabber, the Null Renderer and
// the Smart Tee. The filters come from the real system device enumerator by their
// display names; the boxes are tuned through their vendor properties while the graphs run.
#include <gtest/gtest.h>

#include <evcode.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <future>
#include <set>

#include "BoxTuning.h"
#include "ConsoleRun.h"
#include "GraphSupport.h"
#include "SharedLayout.h"
#include "SimTestSupport.h"
#include "StreamCycles.h"
#include "StreamFormat.h"
#include "TunerSimControl.h"

namespace {

using namespace streamtest;
namespace sky = tunersim::sky;

const std::string kSat = "00000000000006a1";    // WDM and BDA
const std::string kSat2 = "00000000000006a2";   // WDM and BDA
const std::string kTer = "00000000000006a3";    // WDM, with a CI slot

const GUID kCaptureCategory = {0xFB6C4281, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
const GUID kPinPropertySet = {0x9B00F101, 0x1567, 0x11D1, {0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};

class ComApartment {
public:
    ComApartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

std::string NameOf(const std::string& id, tunersim::layout::Role role) {
    const auto info = tunersim::Find(id);
    if (!info) return {};
    // displayNames lists the box's categories in role order, those it presents.
    const unsigned models = info->profile.models;
    int index = 0;
    for (uint32_t r = 0; r < role; ++r)
        if (r == tunersim::layout::kRoleWdm ? (models & tunersim::kWdm) : (models & tunersim::kBda)) ++index;
    return index < static_cast<int>(info->displayNames.size()) ? info->displayNames[index] : std::string();
}

std::string Wdm(const std::string& id) { return NameOf(id, tunersim::layout::kRoleWdm); }
std::string Tuner(const std::string& id) { return NameOf(id, tunersim::layout::kRoleTuner); }
std::string Receiver(const std::string& id) { return NameOf(id, tunersim::layout::kRoleReceiver); }

ComPtr<IKsPropertySet> Properties(IBaseFilter* filter) {
    ComPtr<IKsPropertySet> set;
    if (filter) filter->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(set.GetAddressOf()));
    return set;
}

// Tunes the box behind `filter` and lets the whole stream through.
void TuneWhole(IBaseFilter* filter, const sky::Multiplex& m) {
    auto box = Properties(filter);
    ASSERT_TRUE(box);
    ASSERT_EQ(TuneTo(box.Get(), m), S_OK);
    ASSERT_EQ(SetPids(box.Get(), m, {kWholeStream}), S_OK);
}

uint64_t Of(const std::map<uint16_t, uint64_t>& counts, uint16_t pid) {
    const auto at = counts.find(pid);
    return at == counts.end() ? 0 : at->second;
}

// Waits until the counter's tally satisfies `done`, or 8 s.
template <typename Done>
Tally WaitFor(PacketCounter& counter, Done done) {
    for (int i = 0; i < 160; ++i) {
        const Tally t = counter.Snapshot();
        if (done(t)) return t;
        Sleep(50);
    }
    return counter.Snapshot();
}

class StreamPins : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tunersim::Reset(false);
        for (const auto& [id, preset, models] :
             {std::tuple{kSat, "talvex-s2", unsigned{tunersim::kBoth}}, std::tuple{kSat2, "talvex-s2", unsigned{tunersim::kBoth}},
              std::tuple{kTer, "talvex-tci", unsigned{tunersim::kWdm}}}) {
            auto profile = tunersim::Preset(preset);
            profile.id = id;
            profile.models = models;
            tunersim::Plug(profile, false);
            tunersim::SetSettleTime(id, 0);
        }
    }
    static void TearDownTestSuite() { tunersim::Reset(false); }

    ComApartment com_;
};

TEST_F(StreamPins, TheCaptureFilterStreamsThroughTheGraphManagerAndFollowsTunesAndPidFilters) {
    const auto clean = CleanMultiplexes(true);
    ASSERT_GE(clean.size(), 2u);
    const sky::Multiplex& first = *clean[0];
    const sky::Multiplex& second = *clean[1];
    ASSERT_NE(first.transportStreamId, second.transportStreamId);

    ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat));
    ASSERT_TRUE(filter);
    // One output pin, of the capture category, offering the transport stream types.
    ComPtr<IPin> pin = FirstPin(filter.Get(), PINDIR_OUTPUT);
    ASSERT_TRUE(pin);
    EXPECT_FALSE(FirstPin(filter.Get(), PINDIR_OUTPUT, 1));
    EXPECT_FALSE(FirstPin(filter.Get(), PINDIR_INPUT));
    ComPtr<IPin> found;
    EXPECT_EQ(filter->FindPin(tunersim::kCapturePinId, &found), S_OK);
    EXPECT_EQ(found.Get(), pin.Get());
    EXPECT_EQ(filter->FindPin(L"nothing", found.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);
    ComPtr<IKsPropertySet> category;
    ASSERT_EQ(pin.As(&category), S_OK);
    GUID got{};
    DWORD returned = 0;
    ASSERT_EQ(category->Get(kPinPropertySet, 0, nullptr, 0, &got, sizeof got, &returned), S_OK);
    EXPECT_EQ(got, kCaptureCategory);
    EXPECT_EQ(returned, sizeof(GUID));
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(&types), S_OK);
    std::vector<GUID> subtypes;
    AM_MEDIA_TYPE* type = nullptr;
    while (types->Next(1, &type, nullptr) == S_OK) {
        EXPECT_EQ(type->majortype, tunersim::kMediaTypeStream);
        subtypes.push_back(type->subtype);
        CoTaskMemFree(type->pbFormat);
        CoTaskMemFree(type);
    }
    EXPECT_EQ(subtypes, (std::vector<GUID>{tunersim::kSubtypeBdaTransport, tunersim::kSubtypeMpeg2Transport}));
    AM_MEDIA_TYPE wanted{};
    wanted.majortype = tunersim::kMediaTypeStream;
    wanted.subtype = tunersim::kSubtypeMpeg2Transport;
    EXPECT_EQ(pin->QueryAccept(&wanted), S_OK);
    wanted.majortype = MEDIATYPE_Video;
    EXPECT_EQ(pin->QueryAccept(&wanted), S_FALSE);
    ComPtr<IPin> peer;
    EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);

    TuneWhole(filter.Get(), first);
    GrabberGraph graph;
    ASSERT_EQ(graph.Add(filter.Get(), L"Capture"), S_OK);
    ASSERT_EQ(graph.ConnectToGrabber(filter.Get(), false), S_OK);  // IGraphBuilder::Connect
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(pin->ConnectionMediaType(&connected), S_OK);
    EXPECT_EQ(connected.subtype, tunersim::kSubtypeBdaTransport);
    CoTaskMemFree(connected.pbFormat);

    const DWORD started = GetTickCount();
    ASSERT_EQ(graph.Run(true), S_OK);
    Tally t = WaitFor(graph.Counter(), [&](const Tally& t) { return t.lastPatTransportStream && t.packets > 20000; });
    const double seconds = (GetTickCount() - started) / 1000.0;
    EXPECT_EQ(t.lastPatTransportStream, first.transportStreamId);
    EXPECT_EQ(t.badSamples, 0u);
    EXPECT_EQ(t.continuityGaps, 0u);
    EXPECT_EQ(t.errors, 0u);
    EXPECT_EQ(t.discontinuities, 1u);  // the start
    EXPECT_EQ(t.untimed, 0u);
    EXPECT_TRUE(t.payload.count(0x1FFF));  // the whole stream, null packets too
    // Paced: never ahead of the multiplex's rate.
    const double nominal = static_cast<double>(sky::UsefulBitrate(first)) / (188 * 8);
    EXPECT_LE(static_cast<double>(t.packets), nominal * (seconds + 0.1));
    EXPECT_GT(t.latencySamples, 0u);
    EXPECT_GE(t.latencyMsMax, 0.0);

    // A retune while running: a discontinuity, then the new multiplex's PAT.
    ASSERT_EQ(TuneTo(Properties(filter.Get()).Get(), second), S_OK);
    t = WaitFor(graph.Counter(), [&](const Tally& t) { return t.patAfterLastDiscontinuity == second.transportStreamId; });
    EXPECT_EQ(t.patAfterLastDiscontinuity, second.transportStreamId);
    EXPECT_GE(t.discontinuities, 2u);
    EXPECT_EQ(t.continuityGaps, 0u);

    // The PID filter changed while running: only the chosen PIDs from then on.
    const sky::Service& service = second.services.front();
    std::vector<uint16_t> pids{0x0000, service.pmtPid};
    for (const auto& es : service.streams) pids.push_back(es.pid);
    ASSERT_EQ(SetPids(Properties(filter.Get()).Get(), second, pids), S_OK);
    Sleep(300);
    graph.Counter().Clear();
    t = WaitFor(graph.Counter(), [](const Tally& t) { return t.packets > 500; });
    EXPECT_GT(t.packets, 500u);
    for (const auto& [pid, count] : t.payload)
        EXPECT_NE(std::find(pids.begin(), pids.end(), pid), pids.end()) << "PID " << pid << " passed the filter";
    for (const auto& es : service.streams) EXPECT_GT(Of(t.payload, es.pid), 0u) << es.pid;

    ASSERT_EQ(graph.Stop(), S_OK);
    FILTER_STATE state;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    const uint64_t after = graph.Counter().Snapshot().packets;
    Sleep(200);
    EXPECT_EQ(graph.Counter().Snapshot().packets, after);  // nothing once stopped
    EXPECT_EQ(pin->Disconnect(), S_OK);
}

TEST_F(StreamPins, TheNetworkTunerFeedsOnlyItsOwnReceiverWhoseOutputCarriesTheStream) {
    const sky::Multiplex& m = *CleanMultiplexes(true).front();
    ComPtr<IBaseFilter> tuner = BindDisplayName(Tuner(kSat));
    ComPtr<IBaseFilter> receiver = BindDisplayName(Receiver(kSat));
    ComPtr<IBaseFilter> otherReceiver = BindDisplayName(Receiver(kSat2));
    ComPtr<IBaseFilter> otherTuner = BindDisplayName(Tuner(kSat2));
    ASSERT_TRUE(tuner && receiver && otherReceiver && otherTuner);
    ComPtr<IPin> tunerOut = FirstPin(tuner.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> receiverIn = FirstPin(receiver.Get(), PINDIR_INPUT);
    ASSERT_TRUE(tunerOut && receiverIn && FirstPin(receiver.Get(), PINDIR_OUTPUT));
    EXPECT_FALSE(FirstPin(tuner.Get(), PINDIR_INPUT));

    GrabberGraph graph;
    for (auto [f, name] : {std::pair{tuner.Get(), L"Tuner"}, std::pair{receiver.Get(), L"Receiver"},
                           std::pair{otherReceiver.Get(), L"Other receiver"}, std::pair{otherTuner.Get(), L"Other tuner"}})
        ASSERT_EQ(graph.Add(f, name), S_OK);
    // Refused: a tuner to a grabber, a tuner to another box's receiver, a receiver
    // input fed by another box's tuner, and a receiver's output to a receiver.
    EXPECT_EQ(graph.ConnectToGrabber(tuner.Get(), true), tunersim::kNotTheBoxReceiver);
    EXPECT_EQ(tunerOut->Connect(FirstPin(otherReceiver.Get(), PINDIR_INPUT).Get(), nullptr), tunersim::kNotTheBoxReceiver);
    EXPECT_EQ(graph.Graph()->ConnectDirect(FirstPin(otherTuner.Get(), PINDIR_OUTPUT).Get(), receiverIn.Get(), nullptr),
              tunersim::kNotTheBoxReceiver);
    EXPECT_TRUE(FAILED(graph.Graph()->ConnectDirect(FirstPin(otherReceiver.Get(), PINDIR_OUTPUT).Get(), receiverIn.Get(), nullptr)));
    ComPtr<IPin> none;
    EXPECT_EQ(tunerOut->ConnectedTo(&none), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(receiverIn->ConnectedTo(&none), VFW_E_NOT_CONNECTED);

    // The box's own pair, then the receiver to the grabber.
    ASSERT_EQ(graph.Graph()->ConnectDirect(tunerOut.Get(), receiverIn.Get(), nullptr), S_OK);
    ASSERT_EQ(graph.ConnectToGrabber(receiver.Get(), true), S_OK);
    // The other box's receiver, its output connected but no tuner before it, cannot run.
    GrabberGraph lonely;
    ComPtr<IBaseFilter> lonelyReceiver = BindDisplayName(Receiver(kSat2));
    ASSERT_EQ(lonely.Add(lonelyReceiver.Get(), L"Receiver"), S_OK);
    ASSERT_EQ(lonely.ConnectToGrabber(lonelyReceiver.Get(), true), S_OK);
    EXPECT_EQ(lonely.RunOrRefusal(), tunersim::kReceiverWithoutTuner);
    FILTER_STATE state;
    EXPECT_EQ(lonelyReceiver->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    lonely.Stop();

    TuneWhole(tuner.Get(), m);
    ASSERT_HRESULT_SUCCEEDED(graph.Run());
    const Tally t = WaitFor(graph.Counter(), [](const Tally& t) { return t.packets > 20000; });
    EXPECT_EQ(t.lastPatTransportStream, m.transportStreamId);
    EXPECT_EQ(t.badSamples, 0u);
    EXPECT_EQ(t.continuityGaps, 0u);
    EXPECT_EQ(t.discontinuities, 1u);
    ASSERT_EQ(graph.Stop(), S_OK);
    // Connected pins cannot be disconnected while running, can when stopped.
    EXPECT_EQ(receiverIn->Disconnect(), S_OK);
    EXPECT_EQ(tunerOut->Disconnect(), S_OK);
}

TEST_F(StreamPins, AnUnpluggedBoxEndsItsStreamWithEndOfStreamAndDeviceLost) {
    const sky::Multiplex& m = *CleanMultiplexes(true).front();
    {
        ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat2));
        ASSERT_TRUE(filter);
        TuneWhole(filter.Get(), m);
        GrabberGraph graph;
        ASSERT_EQ(graph.Add(filter.Get(), L"Capture"), S_OK);
        ASSERT_EQ(graph.ConnectToGrabber(filter.Get(), true), S_OK);
        ASSERT_HRESULT_SUCCEEDED(graph.Run());
        WaitFor(graph.Counter(), [](const Tally& t) { return t.packets > 5000; });
        tunersim::Unplug(kSat2, false);
        LONG_PTR lost = 0;
        EXPECT_TRUE(graph.WaitForEvent(EC_DEVICE_LOST, 5000, &lost)) << [&] {
            std::string seen;
            for (auto [code, n] : graph.EventsSeen()) seen += std::to_string(code) + "x" + std::to_string(n) + " ";
            return seen;
        }();
        ComPtr<IUnknown> identity;
        filter.As(&identity);
        EXPECT_EQ(reinterpret_cast<IUnknown*>(lost), identity.Get());
        EXPECT_TRUE(graph.EventsSeen().count(EC_COMPLETE) || graph.WaitForEvent(EC_COMPLETE, 5000));
        const uint64_t at = graph.Counter().Snapshot().packets;
        Sleep(200);
        EXPECT_EQ(graph.Counter().Snapshot().packets, at);
        EXPECT_EQ(graph.Stop(), S_OK);
    }
    // Back again: a new graph streams.
    tunersim::Plug(tunersim::Find(kSat2)->profile, false);
    tunersim::SetSettleTime(kSat2, 0);
    ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat2));
    ASSERT_TRUE(filter);
    TuneWhole(filter.Get(), m);
    GrabberGraph graph;
    ASSERT_EQ(graph.Add(filter.Get(), L"Capture"), S_OK);
    ASSERT_EQ(graph.ConnectToGrabber(filter.Get(), true), S_OK);
    ASSERT_HRESULT_SUCCEEDED(graph.Run());
    EXPECT_GT(WaitFor(graph.Counter(), [](const Tally& t) { return t.packets > 5000; }).packets, 5000u);
}

TEST_F(StreamPins, OneGraphPerBoxInAnyProcessAndTwoProcessesStreamTwoTuners) {
    const auto clean = CleanMultiplexes(true);
    ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat));
    ASSERT_TRUE(filter);
    TuneWhole(filter.Get(), *clean[0]);
    auto first = std::make_unique<GrabberGraph>();
    ASSERT_EQ(first->Add(filter.Get(), L"Capture"), S_OK);
    ASSERT_EQ(first->ConnectToGrabber(filter.Get(), true), S_OK);
    ASSERT_HRESULT_SUCCEEDED(first->Run());

    // The same box again, through its WDM filter and through its BDA pair.
    ComPtr<IBaseFilter> again = BindDisplayName(Wdm(kSat));
    GrabberGraph second;
    ASSERT_EQ(second.Add(again.Get(), L"Capture"), S_OK);
    ASSERT_EQ(second.ConnectToGrabber(again.Get(), true), S_OK);
    EXPECT_EQ(second.RunOrRefusal(), tunersim::kStreamInUse);
    second.Stop();
    ComPtr<IBaseFilter> tuner = BindDisplayName(Tuner(kSat)), receiver = BindDisplayName(Receiver(kSat));
    GrabberGraph bda;
    ASSERT_EQ(bda.Add(tuner.Get(), L"Tuner"), S_OK);
    ASSERT_EQ(bda.Add(receiver.Get(), L"Receiver"), S_OK);
    ASSERT_EQ(bda.Graph()->ConnectDirect(FirstPin(tuner.Get(), PINDIR_OUTPUT).Get(),
                                         FirstPin(receiver.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
    ASSERT_EQ(bda.ConnectToGrabber(receiver.Get(), true), S_OK);
    EXPECT_EQ(bda.RunOrRefusal(), tunersim::kStreamInUse);
    bda.Stop();
    // ... and from another process.
    const std::string child = "\"" + simtest::BinDir() + "stream_graph_child.exe\" ";
    consolerun::Run refused = consolerun::RunProgram(child + "\"" + Wdm(kSat) + "\" 500", 60000);
    EXPECT_EQ(refused.exitCode, 3u) << refused.output;
    EXPECT_GT(first->Counter().Snapshot().packets, 0u);

    // Stopped, the box is free again: here and for another process.
    ASSERT_EQ(first->Stop(), S_OK);
    ASSERT_HRESULT_SUCCEEDED(second.Run());
    EXPECT_GT(WaitFor(second.Counter(), [](const Tally& t) { return t.packets > 1000; }).packets, 1000u);
    second.Stop();
    first.reset();

    // Two processes, two tuners, at once.
    ComPtr<IBaseFilter> other = BindDisplayName(Wdm(kSat2));
    ASSERT_TRUE(other);
    TuneWhole(other.Get(), *clean[1]);
    auto a = std::async(std::launch::async, [&] { return consolerun::RunProgram(child + "\"" + Wdm(kSat) + "\" 1500", 60000); });
    auto b = std::async(std::launch::async, [&] { return consolerun::RunProgram(child + "\"" + Wdm(kSat2) + "\" 1500", 60000); });
    const consolerun::Run ra = a.get(), rb = b.get();
    EXPECT_EQ(ra.exitCode, 0u) << ra.output;
    EXPECT_EQ(rb.exitCode, 0u) << rb.output;
    EXPECT_NE(ra.output.find("pat " + std::to_string(clean[0]->transportStreamId)), std::string::npos) << ra.output;
    EXPECT_NE(rb.output.find("pat " + std::to_string(clean[1]->transportStreamId)), std::string::npos) << rb.output;
}

TEST_F(StreamPins, APayServiceIsScrambledUntilTheModuleHasItsCaPmt) {
    const sky::Multiplex& m = sky::Multiplexes()[sky::IndexOf("T 474 MHz")];
    const sky::Service* pay = nullptr;
    for (const auto& s : m.services)
        if (s.scrambled) pay = &s;
    ASSERT_NE(pay, nullptr);
    ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kTer));
    ASSERT_TRUE(filter);
    tunersim::RemoveModule(kTer);
    tunersim::ReadyModule(kTer);
    auto box = Properties(filter.Get());
    ASSERT_EQ(TuneTo(box.Get(), m), S_OK);
    std::vector<uint16_t> pids{0x0000, pay->pmtPid};
    for (const auto& es : pay->streams) pids.push_back(es.pid);
    ASSERT_EQ(SetPids(box.Get(), m, pids), S_OK);

    GrabberGraph graph;
    ASSERT_EQ(graph.Add(filter.Get(), L"Capture"), S_OK);
    ASSERT_EQ(graph.ConnectToGrabber(filter.Get(), true), S_OK);
    ASSERT_HRESULT_SUCCEEDED(graph.Run());
    const uint16_t video = pay->streams.front().pid;
    Tally t = WaitFor(graph.Counter(), [&](const Tally& t) { return Of(t.payload, video) > 50; });
    ASSERT_GT(Of(t.payload, video), 50u);
    for (const auto& es : pay->streams) EXPECT_EQ(Of(t.scrambled, es.pid), Of(t.payload, es.pid)) << es.pid;

    ASSERT_EQ(SendCaPmt(box.Get(), m, *pay, true), S_OK);
    Sleep(300);
    graph.Counter().Clear();
    t = WaitFor(graph.Counter(), [&](const Tally& t) { return Of(t.payload, video) > 50; });
    for (const auto& es : pay->streams) {
        EXPECT_GT(Of(t.payload, es.pid), 0u) << es.pid;
        EXPECT_EQ(Of(t.scrambled, es.pid), 0u) << es.pid;
    }
    EXPECT_EQ(t.continuityGaps, 0u);

    ASSERT_EQ(SendCaPmt(box.Get(), m, *pay, false), S_OK);
    Sleep(300);
    graph.Counter().Clear();
    t = WaitFor(graph.Counter(), [&](const Tally& t) { return Of(t.payload, video) > 50; });
    EXPECT_EQ(Of(t.scrambled, video), Of(t.payload, video));
    graph.Stop();
    tunersim::RemoveModule(kTer);
}

TEST_F(StreamPins, ASmartTeeFeedsTwoGrabbersTheSameStream) {
    const sky::Multiplex& m = *CleanMultiplexes(true).front();
    ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat));
    ASSERT_TRUE(filter);
    TuneWhole(filter.Get(), m);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(graph.GetAddressOf())), S_OK);
    ComPtr<IBaseFilter> tee;
    ASSERT_EQ(CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(tee.GetAddressOf())), S_OK);
    ASSERT_EQ(graph->AddFilter(filter.Get(), L"Capture"), S_OK);
    ASSERT_EQ(graph->AddFilter(tee.Get(), L"Tee"), S_OK);
    GrabberBranch one = AddGrabberBranch(graph.Get(), L"One");
    GrabberBranch two = AddGrabberBranch(graph.Get(), L"Two");
    ASSERT_EQ(graph->ConnectDirect(FirstPin(filter.Get(), PINDIR_OUTPUT).Get(), FirstPin(tee.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(FirstPin(tee.Get(), PINDIR_OUTPUT, 0).Get(), FirstPin(one.grabber.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(FirstPin(tee.Get(), PINDIR_OUTPUT, 1).Get(), FirstPin(two.grabber.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
    ASSERT_EQ(ConnectRenderer(graph.Get(), one), S_OK);
    ASSERT_EQ(ConnectRenderer(graph.Get(), two), S_OK);
    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph.As(&control), S_OK);
    ASSERT_HRESULT_SUCCEEDED(control->Run());
    const Tally a = WaitFor(*one.counter.Get(), [](const Tally& t) { return t.packets > 20000; });
    const Tally b = WaitFor(*two.counter.Get(), [](const Tally& t) { return t.packets > 20000; });
    ASSERT_EQ(control->Stop(), S_OK);
    for (const Tally* t : {&a, &b}) {
        EXPECT_GT(t->packets, 20000u);
        EXPECT_EQ(t->badSamples, 0u);
        EXPECT_EQ(t->continuityGaps, 0u);
        EXPECT_EQ(t->lastPatTransportStream, m.transportStreamId);
    }
    for (auto* g : {&one, &two}) {
        ComPtr<ISampleGrabber> grabber;
        g->grabber.As(&grabber);
        grabber->SetCallback(nullptr, 0);
    }
}

TEST_F(StreamPins, RunStopCyclesAndGraphsDroppedWhileRunningLeaveNothingBehind) {
    const sky::Multiplex& m = *CleanMultiplexes(true).front();
    {
        ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat));
        ASSERT_TRUE(filter);
        TuneWhole(filter.Get(), m);
    }
    // A first round loads what stays loaded (DLLs, the clips, Wine's helpers).
    ComPtr<IBaseFilter> filter = BindDisplayName(Wdm(kSat));
    ASSERT_TRUE(filter);
    ASSERT_EQ(RunStopCycles(filter.Get(), 2, 60).failures, 0);
    ASSERT_EQ(BuildAndDropRunning(Wdm(kSat), 2, 60, true).failures, 0);
    const ProcessFigures before = SettledFigures(TakeFigures(), 3000);

    const CycleResult cycles = RunStopCycles(filter.Get(), 100, 60);
    EXPECT_EQ(cycles.failures, 0) << cycles.firstFailure;
    EXPECT_EQ(cycles.done, 100);
    EXPECT_GT(cycles.packets, 0u);
    EXPECT_EQ(cycles.badSamples, 0u);
    // Wine's thread pool (the graph manager's asynchronous run) keeps an idle worker for
    // a few seconds; what a hundred cycles leave must not grow with them.
    const ProcessFigures cycled = SettledFigures(before, 12000);
    EXPECT_LE(cycled.threads, before.threads);
    EXPECT_LE(cycled.handles.Total(), before.handles.Total() + 4)
        << handles::Describe(handles::Difference(cycled.handles, before.handles));
    filter.Reset();

    // Each build binds the filter through the system device enumerator, which costs Wine
    // handles of its own: the same builds without streaming are the baseline.
    const CycleResult idle = BuildAndDropRunning(Wdm(kSat), 20, 60, false);
    EXPECT_EQ(idle.failures, 0) << idle.firstFailure;
    const ProcessFigures baseline = SettledFigures(cycled, 5000);
    const CycleResult builds = BuildAndDropRunning(Wdm(kSat), 20, 60, true);
    EXPECT_EQ(builds.failures, 0) << builds.firstFailure;
    EXPECT_GT(builds.packets, 0u);
    EXPECT_EQ(builds.badSamples, 0u);

    const ProcessFigures after = SettledFigures(before, 12000);
    EXPECT_LE(after.threads, before.threads);
    EXPECT_EQ(after.liveFilters, 0);
    EXPECT_LE(after.handles.Total() - baseline.handles.Total(), baseline.handles.Total() - cycled.handles.Total())
        << "streaming builds: " << handles::Describe(handles::Difference(after.handles, baseline.handles))
        << "; idle builds: " << handles::Describe(handles::Difference(baseline.handles, cycled.handles));
}

}  // namespace
