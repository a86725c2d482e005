// A client of the library as Microsoft's toolchain builds one: compiled by clang in MSVC
// mode, linked by lld-link against the MSVC import library OmbrelApi.lib, without any C
// runtime. It imports every export under its MSVC-decorated name (msvc_client.sh checks
// that), so the loader itself proves that the DLL carries each alias; the calls below
// prove that the aliases reach the right code with the right arguments.
//
//   msvc_client.exe <device id> <driver version>
//
// The simulator must have plugged a Talvex S2 box (1/0x34/4, WDM) with that id and
// driver version text. Prints one line per failed check; exit code 0 when all passed.
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

    // No window to notify: the calls only show that the HWND-taking names link and run.
    Check(OB_RegisterNotifications(handle, nullptr) == OB_SUCCESS, "OB_RegisterNotifications");
    Check(OB_UnregisterNotifications(handle) == OB_SUCCESS, "OB_UnregisterNotifications");
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
        Check(OB_CloseDeviceHandle(handle) == OB_SUCCESS, "OB_CloseDeviceHandle: 0");
        Check(OB_CloseDeviceHandle(handle) == OB_INVALID_HANDLE, "OB_CloseDeviceHandle twice: 2");
    }
    Check(OB_CloseDeviceHandle(0) == OB_INVALID_HANDLE, "OB_CloseDeviceHandle(0): 2");

    Print(g_failures == 0 ? "msvc_client: all checks passed\n" : "msvc_client: FAILED\n");
    // The library's window thread runs on: end the process, not just this thread.
    ExitProcess(g_failures == 0 ? 0 : 1);
}
