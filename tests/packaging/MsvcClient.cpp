// A client of the library as Microsoft's toolchain builds one: compiled by clang in MSVC
// mode, linked by lld-link against the MSVC import library OmbrelApi.lib, without any C
// runtime. It imports every export under its MSVC-decorated name (msvc_client.sh checks
// that), so the loader itself proves that the DLL carries each alias; the calls below
// prove that the aliases reach the right code with the right arguments.
//
//   msvc_client.exe <device id> <driver version>
//
// The simulator must have plugged a Talvex S2 box (1/0x34/4, WDM) with that id and
// driver version text, pressed the remote-control keys 0x1234 and 0x0A0B on it (the
// driver queues them until a reader takes them) and made the module in its Common
// Interface slot ready. Prints one line per failed check; exit code 0 when all passed.
// msvc_client.sh then asks the simulator what the module received.
#include <OmbrelApi.h>
#include <OmbrelVersion.h>

namespace {

HANDLE g_out;
int g_failures = 0;

unsigned Length(const char* text) {
    unsigned n = 0;
    while (text[n]) ++n;
    return n;
}

bool Same(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// Byte loops without the C runtime: volatile keeps the compiler from turning them into
// calls of memset and memcmp, which this program does not have.
void Fill(void* record, unsigned size, unsigned char value) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(record);
    for (unsigned i = 0; i < size; ++i) bytes[i] = value;
}

bool SameBytes(const void* a, const void* b, unsigned size) {
    const volatile unsigned char* x = static_cast<const volatile unsigned char*>(a);
    const volatile unsigned char* y = static_cast<const volatile unsigned char*>(b);
    for (unsigned i = 0; i < size; ++i)
        if (x[i] != y[i]) return false;
    return true;
}

void Print(const char* text) {
    DWORD written;
    WriteFile(g_out, text, Length(text), &written, nullptr);
}

void Check(bool passed, const char* what) {
    if (passed) return;
    ++g_failures;
    Print("msvc_client: failed: ");
    Print(what);
    Print("\n");
}

// Splits the command line in place into the words after the program's name (which may
// be quoted); the arguments themselves hold no spaces.
int Arguments(char* line, char** words, int most) {
    if (*line == '"') {
        ++line;
        while (*line && *line != '"') ++line;
    }
    while (*line && *line != ' ') ++line;
    int n = 0;
    while (*line) {
        while (*line == ' ') *line++ = 0;
        if (!*line) break;
        if (n == most) return most + 1;
        words[n++] = line;
        while (*line && *line != ' ') ++line;
    }
    return n;
}

unsigned long HexWord(const char* hex) {
    unsigned long value = 0;
    for (int i = 0; i < 8; ++i) {
        const char c = hex[i];
        value = value * 16 + static_cast<unsigned long>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return value;
}

// Finds the box among the attached devices by its identifier (the display name's 16
// digits: high word first); its handle stays open.
unsigned long OpenById(const char* id) {
    unsigned long count = 0;
    Check(OB_GetNumberOfDevices(&count) == OB_SUCCESS && count >= 1, "OB_GetNumberOfDevices: at least one device");
    for (unsigned long i = 0; i < count; ++i) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(i, &handle) != OB_SUCCESS) continue;
        _OMBREL_GUID guid;
        if (OB_GetGUID(handle, &guid) == OB_SUCCESS && guid.GuidHigh == HexWord(id) && guid.GuidLow == HexWord(id + 8))
            return handle;
        OB_CloseDeviceHandle(handle);
    }
    return 0;
}

void CheckDevice(unsigned long handle, const char* id, const char* driver) {
    Check(OB_IsDeviceAttached(handle) == 1, "OB_IsDeviceAttached: 1");

    // The GUID string lists the identifier's bytes in memory order: the id's digit pairs
    // from the last to the first.
    char expected[OMBREL_GUID_STRING_SIZE];
    for (int pair = 0; pair < 8; ++pair) {
        expected[pair * 2] = id[(7 - pair) * 2];
        expected[pair * 2 + 1] = id[(7 - pair) * 2 + 1];
    }
    expected[16] = 0;
    char guid[OMBREL_GUID_STRING_SIZE];
    Check(OB_GetGUIDString(handle, guid) == OB_SUCCESS && Same(guid, expected), "OB_GetGUIDString: the id's bytes");

    OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_BDA;
    Check(OB_GetTunerType(handle, &type) == OB_SUCCESS && type == OMBREL_TUNER_TYPE_WDM, "OB_GetTunerType: WDM");

    char text[OMBREL_DISPLAY_STRING_SIZE];
    Check(OB_GetDeviceString(handle, text) == OB_SUCCESS && Same(text, "Talvex S2"), "OB_GetDeviceString: Talvex S2");
    Check(OB_GetDisplayString(handle, text) == OB_SUCCESS && Length(text) > 16, "OB_GetDisplayString: a display name");

    _OMBREL_FIRMWARE_VERSION firmware;
    Check(OB_GetFirmwareVersion(handle, &firmware) == OB_SUCCESS && firmware.ProductLine == 1 &&
              firmware.ModelCode == 0x34 && firmware.HardwareRevision == 4,
          "OB_GetFirmwareVersion: 1/0x34/4");

    OMBREL_TUNER_CAPABILITIES caps = {};
    caps.Size = sizeof caps;
    Check(OB_GetTunerCapabilities(handle, &caps) == OB_SUCCESS && caps.Size == OMBREL_TUNER_CAPABILITIES_SIZE_V1 &&
              caps.Reception == OMBREL_RECEPTION_SATELLITE && caps.CommonInterface == 1,
          "OB_GetTunerCapabilities: satellite, with a slot");

    _OMBREL_DRIVER_VERSION version;
    Check(OB_GetDriverVersion(handle, &version) == OB_SUCCESS && Same(version.Version, driver),
          "OB_GetDriverVersion: the simulator's text");

    _OMBREL_SYSTEM_INFO info;
    Check(OB_GetSystemInfo(handle, &info) == OB_SUCCESS && info.Data[1] == 0x34, "OB_GetSystemInfo: the box's record");
    _OMBREL_BOARD_TEMPERATURE temperature;
    Check(OB_GetBoardTemperature(handle, &temperature) == OB_SUCCESS && temperature.Data[0] == 0x2A,
          "OB_GetBoardTemperature: the box's record");
    // No update has run, so the driver has no status to give.
    _OMBREL_FIRMWARE_UPDATE_STATUS status;
    Check(OB_GetRomfluxStatus(handle, &status) == OB_FAILED, "OB_GetRomfluxStatus: 1 before any update");

    IBaseFilter* filter = nullptr;
    Check(OB_GetDirectShowFilter(handle, &filter) == OB_SUCCESS && filter != nullptr, "OB_GetDirectShowFilter: a filter");
    Check(OB_GetReceiverDirectShowFilter(handle, &filter) == OB_FAILED && filter == nullptr,
          "OB_GetReceiverDirectShowFilter: none for a WDM box");

}

// Polls the tuning flag until the front end has settled (the simulator's settle time is
// a fraction of a second; the bound only keeps a broken driver from hanging the test).
int AwaitTuningResult(unsigned long handle, LARGE_INTEGER* hz) {
    int flag = OMBREL_TUNING_BUSY;
    for (int i = 0; i < 1500 && flag == OMBREL_TUNING_BUSY; ++i) {
        if (OB_CheckTuningFlag(handle, &flag, hz) != OB_SUCCESS) return OMBREL_TUNING_BUSY;
        if (flag == OMBREL_TUNING_BUSY) Sleep(20);
    }
    return flag;
}

// A satellite tune through the MSVC names: the records cross as Microsoft's compiler
// lays them out, and the LARGE_INTEGER (decorated as the union it is) comes back whole.
void CheckTuning(unsigned long handle) {
    Check(OB_SetPowerState(handle, OMBREL_POWER_ON) == OB_SUCCESS, "OB_SetPowerState: 0");
    Check(OB_SetAutoTune(handle, 1) == OB_SUCCESS, "OB_SetAutoTune: 0");

    _OMBREL_LNB_PARAMETERS lnb;
    Fill(&lnb, sizeof lnb, 0x5C);  // the reserved bytes too: the driver keeps them
    lnb.LofLow = 9750000;          // a universal LNB
    lnb.LofHigh = 10600000;
    lnb.SwitchFrequency = 11700000;
    lnb.Tone22kHz = OMBREL_TONE_AUTO;
    lnb.Voltage = OMBREL_LNB_VOLTAGE_AUTO;
    Check(OB_SetLNBParameter(handle, &lnb) == OB_SUCCESS, "OB_SetLNBParameter: 0");
    _OMBREL_LNB_PARAMETERS readBack;
    Fill(&readBack, sizeof readBack, 0xEE);
    Check(OB_GetLNBParameter(handle, &readBack) == OB_SUCCESS && SameBytes(&readBack, &lnb, sizeof lnb),
          "OB_GetLNBParameter: the 42 bytes that were set");

    _OMBREL_LNB_CMD toB;  // DiSEqC 1.0 committed switch: input B
    Fill(&toB, sizeof toB, 0);
    const unsigned char message[] = {0xE0, 0x10, 0x38, 0xF4};
    toB.MessageLength = sizeof message;
    for (unsigned i = 0; i < sizeof message; ++i) toB.Message[i] = message[i];
    Check(OB_SendLnbCmd(handle, &toB) == OB_SUCCESS, "OB_SendLnbCmd: 0");

    _OMBREL_SELECT_MULTIPLEX_DVBS mux;  // transponder 11623 V on input B
    Fill(&mux, sizeof mux, 0);
    mux.Frequency = 11623000;
    mux.SymbolRate = 27500;
    mux.Polarisation = OMBREL_POLARISATION_VERTICAL;
    Check(OB_SelectMultiplex_DVBS(handle, &mux) == OB_SUCCESS, "OB_SelectMultiplex_DVBS: 0");
    LARGE_INTEGER hz;
    hz.QuadPart = -1;
    Check(AwaitTuningResult(handle, &hz) == OMBREL_TUNING_LOCKED && hz.QuadPart == 11623000000LL,
          "OB_CheckTuningFlag: locked on 11623000000 Hz");
    int flag = 99;
    Check(OB_CheckTuningFlag(handle, &flag, nullptr) == OB_INVALID_PARAMETER && flag == 99,
          "OB_CheckTuningFlag without a value: 3, nothing written");

    _OMBREL_FRONTEND_STATUS status;
    Fill(&status, sizeof status, 0xEE);
    Check(OB_GetFrontendStatus(handle, &status) == OB_SUCCESS && status.Locked == 1 && status.CarrierPresent == 1 &&
              status.SignalStrength <= 100 && status.SignalQuality <= 100,
          "OB_GetFrontendStatus: locked, percentages");

    _OMBREL_SELECT_PIDS_S pids;
    Fill(&pids, sizeof pids, 0);
    pids.PidCount = 2;
    pids.Pids[0] = 0x0000;
    pids.Pids[1] = OMBREL_PID_ALL;
    Check(OB_SelectPids_DVBS(handle, &pids) == OB_SUCCESS, "OB_SelectPids_DVBS: 0");

    // Below the intermediate-frequency band nothing is sent, and that is no error: the
    // front end stays locked where it was.
    _OMBREL_TUNE_QPSK_PARAM below;
    Fill(&below, sizeof below, 0);
    below.Frequency = OMBREL_QPSK_MIN_FREQUENCY - 1;
    below.SymbolRate = 27500;
    Check(OB_TuneQPSK(handle, &below) == OB_SUCCESS, "OB_TuneQPSK below the band: 0");
    Check(OB_CheckTuningFlag(handle, &flag, &hz) == OB_SUCCESS && flag == OMBREL_TUNING_LOCKED &&
              hz.QuadPart == 11623000000LL,
          "OB_TuneQPSK below the band: still locked");

    // A satellite box refuses the terrestrial requests.
    _OMBREL_SELECT_MULTIPLEX_DVBT dvbt;
    Fill(&dvbt, sizeof dvbt, 0);
    dvbt.Frequency = 474000;
    dvbt.Bandwidth = 8;
    Check(OB_SelectMultiplex_DVBT(handle, &dvbt) == OB_FAILED, "OB_SelectMultiplex_DVBT on a satellite box: 1");
    _OMBREL_SELECT_PIDS_DVBT pidsT;
    Fill(&pidsT, sizeof pidsT, 0);
    Check(OB_SelectPids_DVBT(handle, &pidsT) == OB_FAILED, "OB_SelectPids_DVBT on a satellite box: 1");
}

// A message-only window of this thread, set as the handle's window for the library's
// messages.
HWND NotifiedWindow(unsigned long handle, const char* what) {
    const HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Check(window != nullptr, what);
    Check(OB_RegisterNotifications(handle, window) == OB_SUCCESS, "OB_RegisterNotifications");
    return window;
}

void EndNotifications(unsigned long handle, HWND window) {
    Check(OB_UnregisterNotifications(handle) == OB_SUCCESS, "OB_UnregisterNotifications");
    if (window) DestroyWindow(window);
}

// Takes up to `most` of the messages from `first` to `last` that reach the window, in
// the order posted, waiting for them at most about 30 s (a bound only, so that a lost
// message cannot hang the test). `fromHandle` turns false for a message whose wParam is
// not the handle.
int TakeMessages(HWND window, UINT first, UINT last, unsigned long handle, MSG* taken, int most, bool& fromHandle) {
    int received = 0;
    for (int i = 0; i < 1500 && received < most; ++i) {
        MSG msg;
        if (PeekMessageA(&msg, window, first, last, PM_REMOVE)) {
            fromHandle = fromHandle && msg.wParam == handle;
            taken[received++] = msg;
        } else {
            Sleep(20);
        }
    }
    return received;
}

// The remote-control reader posts the keys that msvc_client.sh pressed to a window of
// this thread.
void CheckRemoteControl(unsigned long handle) {
    const HWND window = NotifiedWindow(handle, "a message-only window for the keys");
    Check(OB_RemoteControl_Start(handle) == OB_SUCCESS, "OB_RemoteControl_Start: 0");
    Check(OB_RemoteControl_Start(handle) == OB_FAILED, "OB_RemoteControl_Start while it runs: 1");

    MSG keys[2];  // no zeroing: this program has no memset
    bool fromHandle = true;
    const int received = TakeMessages(window, OMBREL_MSG_REMOTE_KEY, OMBREL_MSG_REMOTE_KEY, handle, keys, 2, fromHandle);
    Check(received == 2 && keys[0].lParam == 0x1234 && keys[1].lParam == 0x0A0B,
          "OMBREL_MSG_REMOTE_KEY: 0x1234, then 0x0A0B");
    Check(fromHandle, "OMBREL_MSG_REMOTE_KEY: wParam is the starting handle");

    Check(OB_RemoteControl_Stop(handle) == OB_SUCCESS, "OB_RemoteControl_Stop: 0");
    Check(OB_RemoteControl_Stop(handle) == OB_FAILED, "OB_RemoteControl_Stop without a reader: 1");
    EndNotifications(handle, window);
}

// The Common Interface through the MSVC names: a session whose poll thread reports the
// ready module, the application information read back whole, and a CA PMT through each
// overload of OB_CI_SendPMT (msvc_client.sh checks what the module received: the short
// form's 3 and 1 for service 0x0101, then list management 5, command 4, service 0x0102).
void CheckCommonInterface(unsigned long handle) {
    const HWND window = NotifiedWindow(handle, "a message-only window for the session");
    Check(OB_CI_Open(handle) == OB_SUCCESS, "OB_CI_Open: 0");
    Check(OB_CI_Open(handle) == OB_FAILED, "OB_CI_Open while it is open: 1");
    Check(OB_CI_SetPollingIntervall(handle, 301) == OB_INVALID_PARAMETER, "OB_CI_SetPollingIntervall(301): 3");
    Check(OB_CI_SetPollingIntervall(handle, 50) == OB_SUCCESS, "OB_CI_SetPollingIntervall(50): 0");

    MSG module[2];
    bool fromHandle = true;
    const int received = TakeMessages(window, OMBREL_MSG_CI_MODULE_PRESENT, OMBREL_MSG_CI_MODULE_GONE, handle,
                                      module, 2, fromHandle);
    Check(received == 2 && module[0].message == OMBREL_MSG_CI_MODULE_PRESENT &&
              module[1].message == OMBREL_MSG_CI_MODULE_READY,
          "OMBREL_MSG_CI_MODULE_PRESENT, then OMBREL_MSG_CI_MODULE_READY");
    Check(fromHandle, "the session's messages: wParam is the opening handle");

    unsigned short manufacturer = 0;
    unsigned short code = 0;
    unsigned char menuLength = 0;
    unsigned char menu[OMBREL_CI_MENU_STRING_SIZE];
    Fill(menu, sizeof menu, 0);
    Check(OB_CI_GetApplicationInfo(handle, &manufacturer, &code, &menuLength, menu) == OB_SUCCESS &&
              manufacturer != 0 && code != 0 && menuLength > 0 && menuLength == Length(reinterpret_cast<char*>(menu)),
          "OB_CI_GetApplicationInfo: manufacturer, code and a menu string of the length given");

    // A PMT section (table 0x02, without its CRC) of service 0x0101, then of 0x0102.
    unsigned char pmt[] = {0x02, 0xB0, 0x09, 0x01, 0x01, 0xC1, 0x00, 0x00, 0xE1, 0x00, 0xF0, 0x00};
    Check(OB_CI_SendPMT(handle, sizeof pmt, pmt) == OB_SUCCESS, "OB_CI_SendPMT, three arguments: 0");
    Check(OB_CI_SendPMT(handle, 0, pmt) == OB_INVALID_PARAMETER, "OB_CI_SendPMT, three arguments, no bytes: 3");
    pmt[4] = 0x02;
    Check(OB_CI_SendPMT(handle, sizeof pmt, 6, 1, pmt) == OB_INVALID_PARAMETER,
          "OB_CI_SendPMT, five arguments, list management 6: 3");
    Check(OB_CI_SendPMT(handle, sizeof pmt, 5, 4, pmt) == OB_SUCCESS, "OB_CI_SendPMT, five arguments: 0");

    Check(OB_CI_Close(handle) == OB_SUCCESS, "OB_CI_Close: 0");
    Check(OB_CI_Close(handle) == OB_FAILED, "OB_CI_Close without a session: 1");
    EndNotifications(handle, window);
}

}  // namespace

extern "C" void ClientMain() {
    g_out = GetStdHandle(STD_OUTPUT_HANDLE);
    char* words[2];
    const int n = Arguments(GetCommandLineA(), words, 2);
    if (n != 2 || Length(words[0]) != 16) {
        Print("usage: msvc_client <16-digit device id> <driver version>\n");
        ExitProcess(2);
    }
    const char* id = words[0];
    const char* driver = words[1];

    Check(Same(OB_GetApiVersion(), OMBREL_API_VERSION_TEXT), "OB_GetApiVersion: " OMBREL_API_VERSION_TEXT);
    Check(OB_Initialize() == OB_SUCCESS, "OB_Initialize: 0");
    const unsigned long handle = OpenById(id);
    Check(handle != 0, "the simulated box is listed and opens");
    if (handle != 0) {
        CheckDevice(handle, id, driver);
        CheckTuning(handle);
        CheckRemoteControl(handle);
        CheckCommonInterface(handle);
        Check(OB_CloseDeviceHandle(handle) == OB_SUCCESS, "OB_CloseDeviceHandle: 0");
        Check(OB_CloseDeviceHandle(handle) == OB_INVALID_HANDLE, "OB_CloseDeviceHandle twice: 2");
    }
    Check(OB_CloseDeviceHandle(0) == OB_INVALID_HANDLE, "OB_CloseDeviceHandle(0): 2");

    Print(g_failures == 0 ? "msvc_client: all checks passed\n" : "msvc_client: FAILED\n");
    // The library's window thread runs on: end the process, not just this thread.
    ExitProcess(g_failures == 0 ? 0 : 1);
}
