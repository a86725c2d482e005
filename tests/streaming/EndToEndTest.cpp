// The stream library against the tuner simulator, through the real OmbrelApi.dll: the
// helper on handles of both driver models (OB_GetDirectShowFilter, and for BDA
// OB_GetReceiverDirectShowFilter), the sink in a graph of the test's own on a lent
// filter, scrambled and damaged multiplexes in the figures, an unplugged tuner, and the
// ReceiveStream example run as a process. The captures and a manifest (file, service
// id) go to build/sink-captures/ for ffmpeg (check_sink_captures.sh).
#include <gtest/gtest.h>

// The simulator's control header before the DirectShow ones, whose macros clash with it.
#include "LibraryTestSupport.h"

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <vector>

#include <OmbrelStream.h>

#include "ConsoleRun.h"

namespace {

using namespace libtest;
using Microsoft::WRL::ComPtr;
using Bytes = std::vector<uint8_t>;

const std::string kSatellite = "00000000000005c1";    // Talvex S2, both driver models
const std::string kTerrestrial = "00000000000005c2";  // Talvex T/CI, BDA

std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string CaptureDir() {
    const std::string dir = ExeDir() + "..\\sink-captures\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void Manifest(const std::string& file, uint16_t service) {
    std::ofstream out(CaptureDir() + "manifest.txt", std::ios::app);
    out << file << '\t' << service << '\n';
}

struct Capture {
    std::mutex mutex;
    Bytes bytes;
    static HRESULT OMBREL_CALL Callback(void* context, const unsigned char* packets, unsigned long count, BOOL) {
        auto& self = *static_cast<Capture*>(context);
        std::lock_guard<std::mutex> lock(self.mutex);
        self.bytes.insert(self.bytes.end(), packets, packets + count * 188);
        return S_OK;
    }
    std::set<uint16_t> Pids() {
        std::lock_guard<std::mutex> lock(mutex);
        std::set<uint16_t> pids;
        for (std::size_t i = 0; i + 188 <= bytes.size(); i += 188)
            pids.insert(static_cast<uint16_t>((bytes[i + 1] & 0x1F) << 8 | bytes[i + 2]));
        return pids;
    }
    void Save(const std::string& file) {
        std::lock_guard<std::mutex> lock(mutex);
        std::ofstream(CaptureDir() + file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

// The first handle on the box `id` in the driver model `type`.
unsigned long OpenBox(const std::string& id, OMBREL_TUNER_TYPE type, unsigned long* index = nullptr) {
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    for (unsigned long i = 0; i < count; ++i) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(i, &handle) != OB_SUCCESS) continue;
        OMBREL_TUNER_TYPE kind{};
        OB_GetTunerType(handle, &kind);
        std::string display = DisplayStringOf(handle);
        if (kind == type && display.find(id) != std::string::npos) {
            if (index) *index = i;
            return handle;
        }
        OB_CloseDeviceHandle(handle);
    }
    return 0;
}

// Tunes the satellite box to a downlink frequency behind input `input` (0 A, 1 B).
void TuneSatellite(unsigned long handle, unsigned long kHz, unsigned char polarisation, unsigned long symbolRate,
                   int input) {
    ASSERT_EQ(OB_SetPowerState(handle, OMBREL_POWER_ON), OB_SUCCESS);
    OMBREL_LNB_CMD command = {};
    const unsigned char message[] = {0xE0, 0x10, 0x38, static_cast<unsigned char>(0xF0 | input << 2)};
    command.MessageLength = sizeof message;
    std::memcpy(command.Message, message, sizeof message);
    ASSERT_EQ(OB_SendLnbCmd(handle, &command), OB_SUCCESS);
    OMBREL_SELECT_MULTIPLEX_DVBS mux = {};
    mux.Frequency = kHz;
    mux.SymbolRate = symbolRate;
    mux.Polarisation = polarisation;
    ASSERT_EQ(OB_SelectMultiplex_DVBS(handle, &mux), OB_SUCCESS);
    OMBREL_SELECT_PIDS_S pids = {};
    pids.PidCount = 1;
    pids.Pids[0] = OMBREL_PID_ALL;
    ASSERT_EQ(OB_SelectPids_DVBS(handle, &pids), OB_SUCCESS);
}

bool WaitLocked(unsigned long handle) {
    int flag = OMBREL_TUNING_BUSY;
    LARGE_INTEGER hz{};
    for (int i = 0; i < 100; ++i) {
        if (OB_CheckTuningFlag(handle, &flag, &hz) == OB_SUCCESS && flag == OMBREL_TUNING_LOCKED) return true;
        Sleep(50);
    }
    return false;
}

// Receives `ms` of the handle's stream through the helper; the stream must keep going.
OBS_STATISTICS Receive(unsigned long handle, Capture& capture, DWORD ms) {
    OBS_STREAM stream = nullptr;
    EXPECT_EQ(OBS_StartStream(handle, &Capture::Callback, &capture, &stream), S_OK);
    OBS_STATISTICS figures{};
    if (!stream) return figures;
    OBS_STREAM_EVENT event = OBS_EVENT_COMPLETE;
    EXPECT_EQ(OBS_WaitStream(stream, ms, &event, nullptr), S_FALSE);
    EXPECT_EQ(event, OBS_EVENT_NONE);
    EXPECT_EQ(OBS_StopStream(stream, &figures), S_OK);
    return figures;
}

class StreamEndToEnd : public SimTest {
protected:
    static void SetUpTestSuite() { DeleteFileA((CaptureDir() + "manifest.txt").c_str()); }

    void SetUp() override {
        SimTest::SetUp();
        auto satellite = tunersim::Preset("talvex-s2");
        satellite.id = kSatellite;
        satellite.models = tunersim::kBoth;
        auto terrestrial = tunersim::Preset("talvex-tci");
        terrestrial.id = kTerrestrial;
        terrestrial.models = tunersim::kBda;
        tunersim::Plug(satellite);
        tunersim::Plug(terrestrial);
        tunersim::SetSettleTime(kSatellite, 0);
        tunersim::SetSettleTime(kTerrestrial, 0);
        ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 3; }));
    }
};

TEST_F(StreamEndToEnd, BothDriverModelsDeliverTheMultiplexThroughTheHelper) {
    for (const auto type : {OMBREL_TUNER_TYPE_WDM, OMBREL_TUNER_TYPE_BDA}) {
        const bool wdm = type == OMBREL_TUNER_TYPE_WDM;
        SCOPED_TRACE(wdm ? "WDM" : "BDA");
        const unsigned long handle = OpenBox(kSatellite, type);
        ASSERT_NE(handle, 0u);
        TuneSatellite(handle, 11623000, OMBREL_POLARISATION_VERTICAL, 27500, 1);  // B 11623 V
        ASSERT_TRUE(WaitLocked(handle));
        Capture capture;
        const OBS_STATISTICS f = Receive(handle, capture, 3000);
        // A clean multiplex: every byte in whole packets, nothing lost or damaged.
        EXPECT_GT(f.Packets, 3000u);
        EXPECT_EQ(f.Packets * 188, capture.bytes.size());
        EXPECT_EQ(f.BytesDropped, 0u);
        EXPECT_EQ(f.SyncLosses, 0u);
        EXPECT_EQ(f.ContinuityErrors, 0u);
        EXPECT_EQ(f.TransportErrors, 0u);
        EXPECT_EQ(f.ScrambledPackets, 0u);
        EXPECT_EQ(f.BytesReceived, f.Packets * 188) << "the simulator's samples hold whole packets";
        // Borealis News: PMT 0x0101, video 0x0210, audio 0x0211; and the PAT.
        const auto pids = capture.Pids();
        for (uint16_t pid : {0x0000, 0x0101, 0x0210, 0x0211}) EXPECT_TRUE(pids.count(pid)) << pid;
        const std::string file = wdm ? "helper-wdm-11623.ts" : "helper-bda-11623.ts";
        capture.Save(file);
        Manifest(file, 0x2011);
        Manifest(file, 0x2012);

        // The filters went back to the handle: a second stream on it works.
        Capture again;
        EXPECT_GT(Receive(handle, again, 500).Packets, 0u);
        EXPECT_EQ(OB_CloseDeviceHandle(handle), OB_SUCCESS);
    }
}

TEST_F(StreamEndToEnd, TheSinkAloneTakesTheLentFilterInAGraphOfItsOwn) {
    const unsigned long handle = OpenBox(kSatellite, OMBREL_TUNER_TYPE_WDM);
    ASSERT_NE(handle, 0u);
    TuneSatellite(handle, 11623000, OMBREL_POLARISATION_VERTICAL, 27500, 1);
    ASSERT_TRUE(WaitLocked(handle));
    IBaseFilter* tuner = nullptr;
    ASSERT_EQ(OB_GetDirectShowFilter(handle, &tuner), OB_SUCCESS);
    Capture capture;
    ComPtr<IBaseFilter> sink;
    ASSERT_EQ(OBS_CreateSink(&Capture::Callback, &capture, sink.GetAddressOf()), S_OK);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(graph.GetAddressOf())), S_OK);
    ASSERT_EQ(graph->AddFilter(tuner, L"Tuner"), S_OK);
    ASSERT_EQ(graph->AddFilter(sink.Get(), L"Sink"), S_OK);
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> out, in;
    ASSERT_EQ(tuner->EnumPins(pins.GetAddressOf()), S_OK);
    for (ComPtr<IPin> pin; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        PIN_DIRECTION direction{};
        pin->QueryDirection(&direction);
        if (direction == PINDIR_OUTPUT) out = pin;
    }
    ASSERT_TRUE(out);
    ASSERT_EQ(sink->FindPin(L"In", in.GetAddressOf()), S_OK);
    ASSERT_EQ(graph->ConnectDirect(out.Get(), in.Get(), nullptr), S_OK);
    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph.As(&control), S_OK);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    PumpFor(1500);
    EXPECT_EQ(control->Stop(), S_OK);
    OBS_STATISTICS f{};
    ASSERT_EQ(OBS_GetSinkStatistics(sink.Get(), &f), S_OK);
    EXPECT_GT(f.Packets, 500u);
    EXPECT_EQ(f.ContinuityErrors, 0u);
    EXPECT_EQ(graph->RemoveFilter(tuner), S_OK);
    EXPECT_EQ(OB_CloseDeviceHandle(handle), OB_SUCCESS);
}

TEST_F(StreamEndToEnd, ScrambledAndDamagedMultiplexesShowInTheFigures) {
    const unsigned long handle = OpenBox(kSatellite, OMBREL_TUNER_TYPE_WDM);
    ASSERT_NE(handle, 0u);
    // A 11597 V: Kestrel Cinema is scrambled, no module descrambles it.
    TuneSatellite(handle, 11597000, OMBREL_POLARISATION_VERTICAL, 22000, 0);
    ASSERT_TRUE(WaitLocked(handle));
    Capture scrambled;
    const OBS_STATISTICS s = Receive(handle, scrambled, 2000);
    EXPECT_GT(s.ScrambledPackets, 100u);
    EXPECT_EQ(s.ContinuityErrors, 0u);
    // A 12603 V: a weak multiplex that loses about 90 blocks a minute.
    TuneSatellite(handle, 12603000, OMBREL_POLARISATION_VERTICAL, 22000, 0);
    ASSERT_TRUE(WaitLocked(handle));
    Capture weak;
    const OBS_STATISTICS w = Receive(handle, weak, 4000);
    EXPECT_GE(w.TransportErrors, 1u);
    EXPECT_GE(w.ContinuityErrors, 1u);
    EXPECT_EQ(w.BytesDropped, 0u) << "lost packets are whole: no resync";
    EXPECT_EQ(OB_CloseDeviceHandle(handle), OB_SUCCESS);
}

TEST_F(StreamEndToEnd, AnUnpluggedTunerEndsTheStreamAsDeviceLost) {
    const unsigned long handle = OpenBox(kSatellite, OMBREL_TUNER_TYPE_BDA);
    ASSERT_NE(handle, 0u);
    TuneSatellite(handle, 11623000, OMBREL_POLARISATION_VERTICAL, 27500, 1);
    ASSERT_TRUE(WaitLocked(handle));
    Capture capture;
    OBS_STREAM stream = nullptr;
    ASSERT_EQ(OBS_StartStream(handle, &Capture::Callback, &capture, &stream), S_OK);
    OBS_STREAM_EVENT event{};
    EXPECT_EQ(OBS_WaitStream(stream, 1000, &event, nullptr), S_FALSE);
    tunersim::Unplug(kSatellite);
    EXPECT_EQ(OBS_WaitStream(stream, 10000, &event, nullptr), S_OK);
    EXPECT_EQ(event, OBS_EVENT_DEVICE_LOST);
    OBS_STATISTICS f{};
    EXPECT_TRUE(SUCCEEDED(OBS_StopStream(stream, &f)));
    EXPECT_GT(f.Packets, 0u);
    // A stream for a tuner that is gone does not start.
    ASSERT_TRUE(PumpUntil([&] { return OB_IsDeviceAttached(handle) == 0; }));
    EXPECT_EQ(OBS_StartStream(handle, &Capture::Callback, &capture, &stream), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(OB_CloseDeviceHandle(handle), OB_SUCCESS);
}

TEST_F(StreamEndToEnd, TheReceiveStreamExampleWritesAFileOfBothDriverModels) {
    struct Run {
        std::string box;
        OMBREL_TUNER_TYPE type;
        std::string arguments;
        std::string file;
        std::vector<uint16_t> services;
    };
    for (const Run& r : {Run{kTerrestrial, OMBREL_TUNER_TYPE_BDA, "522 3 %s --bandwidth 8", "example-bda-522.ts", {0x3021, 0x3022}},
                         Run{kSatellite, OMBREL_TUNER_TYPE_WDM, "10744 3 %s --pol H --symbol-rate 22000 --diseqc A",
                             "example-wdm-10744.ts", {0x1001, 0x1002}}}) {
        SCOPED_TRACE(r.file);
        unsigned long index = 0;
        const unsigned long handle = OpenBox(r.box, r.type, &index);
        ASSERT_NE(handle, 0u);
        OB_CloseDeviceHandle(handle);
        const std::string path = CaptureDir() + r.file;
        DeleteFileA(path.c_str());
        char arguments[512];
        std::snprintf(arguments, sizeof arguments, r.arguments.c_str(), ("\"" + path + "\"").c_str());
        const auto run = consolerun::RunProgram("\"" + ExeDir() + "ReceiveStream.exe\" " + std::to_string(index) + " " + arguments, 60000);
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find("Locked on"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Continuity errors:  0"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Scrambled packets:  0"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Bitrate:"), std::string::npos) << run.output;
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        const auto size = static_cast<std::size_t>(in.tellg());
        EXPECT_GT(size, 188u * 1000);
        EXPECT_EQ(size % 188, 0u);
        for (uint16_t service : r.services) Manifest(r.file, service);
    }
}

}  // namespace
