// ReceiveStream: tunes a tuner and writes its transport stream to a file for some seconds,
// then prints what it received.
//
//   ReceiveStream <tuner> <frequency MHz> <seconds> <file.ts> [options]
//
//   tuner        index, 0 to the number of tuners - 1
//   frequency    above 2150 MHz a satellite downlink frequency (behind a universal LNB),
//                else a terrestrial centre frequency
//   --pol H|V            satellite: polarisation (V)
//   --symbol-rate KS/S   satellite: symbol rate (27500)
//   --diseqc A|B|C|D     satellite: input of a DiSEqC 1.0 switch (none sent without it)
//   --bandwidth MHZ      terrestrial: channel bandwidth, 6, 7 or 8 (8)
//
// Exit codes: 0 received; 1 bad arguments; 2 no such tuner or the library failed;
// 3 no lock within 10 s; 4 the stream could not start, or failed (a write included);
// 5 the tuner went away during the stream.
//
// Shows: tuning with the OB_ calls, then receiving through OmbrelStream's helper
// (OBS_StartStream, OBS_WaitStream, OBS_StopStream) with a packet callback that writes
// the file, and the sink's figures (packets, continuity errors, scrambled packets).
#include <windows.h>

#include <OmbrelApi.h>
#include <OmbrelStream.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    unsigned long tuner = 0;
    double frequencyMHz = 0;
    double seconds = 0;
    const char* file = nullptr;
    unsigned char polarisation = OMBREL_POLARISATION_VERTICAL;
    unsigned long symbolRate = 27500;
    int diseqcInput = -1;  // 0..3 for A..D
    unsigned char bandwidth = 8;
};

bool Parse(int argc, char** argv, Options& o) {
    if (argc < 5) return false;
    char* end = nullptr;
    o.tuner = std::strtoul(argv[1], &end, 10);
    if (*end) return false;
    o.frequencyMHz = std::strtod(argv[2], &end);
    if (*end || o.frequencyMHz <= 0) return false;
    o.seconds = std::strtod(argv[3], &end);
    if (*end || o.seconds <= 0) return false;
    o.file = argv[4];
    for (int i = 5; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--pol" && (value == "H" || value == "V"))
            o.polarisation = value == "H" ? OMBREL_POLARISATION_HORIZONTAL : OMBREL_POLARISATION_VERTICAL;
        else if (name == "--symbol-rate" && std::atol(value.c_str()) > 0)
            o.symbolRate = static_cast<unsigned long>(std::atol(value.c_str()));
        else if (name == "--diseqc" && value.size() == 1 && value[0] >= 'A' && value[0] <= 'D')
            o.diseqcInput = value[0] - 'A';
        else if (name == "--bandwidth" && (value == "6" || value == "7" || value == "8"))
            o.bandwidth = static_cast<unsigned char>(std::atoi(value.c_str()));
        else
            return false;
    }
    return (argc - 5) % 2 == 0;
}

// Sends the tune (see "Tuning" in OmbrelApi.h) and waits up to 10 s for the front end.
bool Tune(unsigned long tuner, const Options& o) {
    const unsigned long kHz = static_cast<unsigned long>(o.frequencyMHz * 1000 + 0.5);
    OB_SetPowerState(tuner, OMBREL_POWER_ON);
    unsigned long result;
    if (o.frequencyMHz > 2150) {
        OMBREL_LNB_PARAMETERS lnb = {};  // universal LNB
        lnb.LofLow = 9750000;
        lnb.LofHigh = 10600000;
        lnb.SwitchFrequency = 11700000;
        lnb.Tone22kHz = OMBREL_TONE_AUTO;
        lnb.Voltage = OMBREL_LNB_VOLTAGE_AUTO;
        OB_SetLNBParameter(tuner, &lnb);
        if (o.diseqcInput >= 0) {
            OMBREL_LNB_CMD command = {};  // DiSEqC 1.0 committed switch
            const unsigned char message[] = {0xE0, 0x10, 0x38, static_cast<unsigned char>(0xF0 | o.diseqcInput << 2)};
            command.MessageLength = sizeof message;
            std::memcpy(command.Message, message, sizeof message);
            OB_SendLnbCmd(tuner, &command);
        }
        OMBREL_SELECT_MULTIPLEX_DVBS mux = {};
        mux.Frequency = kHz;
        mux.SymbolRate = o.symbolRate;
        mux.Polarisation = o.polarisation;
        result = OB_SelectMultiplex_DVBS(tuner, &mux);
        // The whole multiplex, null packets included.
        OMBREL_SELECT_PIDS_S pids = {};
        pids.PidCount = 1;
        pids.Pids[0] = OMBREL_PID_ALL;
        if (result == OB_SUCCESS) result = OB_SelectPids_DVBS(tuner, &pids);
    } else {
        OMBREL_SELECT_MULTIPLEX_DVBT mux = {};
        mux.Frequency = kHz;
        mux.Bandwidth = o.bandwidth;
        result = OB_SelectMultiplex_DVBT(tuner, &mux);
        OMBREL_SELECT_PIDS_DVBT pids = {};
        pids.PidCount = 1;
        pids.Pids[0] = OMBREL_PID_ALL;
        if (result == OB_SUCCESS) result = OB_SelectPids_DVBT(tuner, &pids);
    }
    if (result != OB_SUCCESS) {
        std::fprintf(stderr, "ReceiveStream: the tuner refused the tune (code %lu)\n", result);
        return false;
    }
    int flag = OMBREL_TUNING_BUSY;
    LARGE_INTEGER hz = {};
    for (int i = 0; i < 200 && flag == OMBREL_TUNING_BUSY; ++i) {
        if (OB_CheckTuningFlag(tuner, &flag, &hz) != OB_SUCCESS) break;
        if (flag == OMBREL_TUNING_BUSY) Sleep(50);
    }
    if (flag != OMBREL_TUNING_LOCKED) {
        std::fprintf(stderr, "ReceiveStream: no lock on %.3f MHz\n", o.frequencyMHz);
        return false;
    }
    std::printf("Locked on %.3f MHz\n", static_cast<double>(hz.QuadPart) / 1e6);
    return true;
}

// The packet callback: runs on the stream's own thread. A failed write ends the stream
// (OBS_WaitStream reports OBS_EVENT_ERROR with this code).
HRESULT OMBREL_CALL WritePackets(void* context, const unsigned char* packets, unsigned long count, BOOL) {
    FILE* file = static_cast<FILE*>(context);
    return std::fwrite(packets, 188, count, file) == count ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

void PrintFigures(const OBS_STATISTICS& f, double seconds) {
    const double bytes = static_cast<double>(f.Packets) * 188;
    std::printf("Received:           %llu packets, %.0f bytes in %.1f s\n", f.Packets, bytes, seconds);
    std::printf("Bitrate:            %.2f Mbit/s\n", seconds > 0 ? bytes * 8 / seconds / 1e6 : 0.0);
    std::printf("Continuity errors:  %llu\n", f.ContinuityErrors);
    std::printf("Scrambled packets:  %llu\n", f.ScrambledPackets);
    std::printf("Transport errors:   %llu\n", f.TransportErrors);
    std::printf("Bytes dropped:      %llu (sync lost %llu times)\n", f.BytesDropped, f.SyncLosses);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: ReceiveStream <tuner> <frequency MHz> <seconds> <file.ts> [--pol H|V] "
                     "[--symbol-rate KS/S] [--diseqc A|B|C|D] [--bandwidth 6|7|8]\n");
        return 1;
    }
    if (OB_Initialize() != OB_SUCCESS) {
        std::fprintf(stderr, "ReceiveStream: the library could not start\n");
        return 2;
    }
    unsigned long tuner = 0;
    if (OB_OpenDeviceHandle(options.tuner, &tuner) != OB_SUCCESS) {
        std::fprintf(stderr, "ReceiveStream: no tuner %lu\n", options.tuner);
        return 2;
    }
    char model[OMBREL_DEVICE_STRING_SIZE] = {};
    OB_GetDeviceString(tuner, model);
    std::printf("Tuner:              %lu, %s\n", options.tuner, model);
    if (!Tune(tuner, options)) {
        OB_CloseDeviceHandle(tuner);
        return 3;
    }

    FILE* file = std::fopen(options.file, "wb");
    if (!file) {
        std::fprintf(stderr, "ReceiveStream: cannot write %s\n", options.file);
        OB_CloseDeviceHandle(tuner);
        return 4;
    }
    // OB_Initialize initialised COM on this thread, as the stream helper needs.
    OBS_STREAM stream = nullptr;
    HRESULT hr = OBS_StartStream(tuner, WritePackets, file, &stream);
    if (FAILED(hr)) {
        std::fprintf(stderr, "ReceiveStream: the stream did not start (0x%08lX)\n", static_cast<unsigned long>(hr));
        std::fclose(file);
        OB_CloseDeviceHandle(tuner);
        return 4;
    }

    // Waits in steps of a second, with a line of progress each, until the time is up or
    // the stream ends by itself.
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG total = static_cast<ULONGLONG>(options.seconds * 1000);
    OBS_STREAM_EVENT event = OBS_EVENT_NONE;
    HRESULT reason = S_OK;
    for (ULONGLONG waited = 0; waited < total && event == OBS_EVENT_NONE; waited = GetTickCount64() - start) {
        const ULONGLONG step = total - waited < 1000 ? total - waited : 1000;
        OBS_WaitStream(stream, static_cast<DWORD>(step), &event, &reason);
        OBS_STATISTICS now = {};
        OBS_GetStreamStatistics(stream, &now);
        std::printf("  %5.1f s  %llu packets\n", static_cast<double>(GetTickCount64() - start) / 1000, now.Packets);
        std::fflush(stdout);
    }
    OBS_STATISTICS figures = {};
    OBS_StopStream(stream, &figures);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000;
    const bool written = std::fclose(file) == 0;
    OB_CloseDeviceHandle(tuner);

    std::printf("File:               %s\n", options.file);
    PrintFigures(figures, seconds);
    if (event == OBS_EVENT_DEVICE_LOST) {
        std::fprintf(stderr, "ReceiveStream: the tuner went away\n");
        return 5;
    }
    if (event == OBS_EVENT_COMPLETE) std::printf("The tuner ended the stream early.\n");
    if (event == OBS_EVENT_ERROR || !written) {
        std::fprintf(stderr, "ReceiveStream: the stream failed (0x%08lX)\n", static_cast<unsigned long>(written ? reason : E_FAIL));
        return 4;
    }
    return 0;
}
