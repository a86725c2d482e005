// ListTuners: lists the attached Talvex tuners, then lists them again whenever tuners
// come or go.
//
//   ListTuners             list once and end
//   ListTuners <changes>   then wait for that many changes of the set of tuners
//
// Shows: starting the library, counting and opening tuners, reading their names and
// what each one receives (OB_GetTunerCapabilities), and hearing hot-plugs through
// OMBREL_MSG_DEVICES_CHANGED.
#include <windows.h>

#include <OmbrelApi.h>

#include <cstdio>
#include <cstdlib>

namespace {

int g_changesLeft = 0;

const char* ReceptionText(unsigned long reception) {
    switch (reception) {
    case OMBREL_RECEPTION_SATELLITE: return "satellite";
    case OMBREL_RECEPTION_TERRESTRIAL: return "terrestrial";
    case OMBREL_RECEPTION_ATSC: return "ATSC";
    case OMBREL_RECEPTION_CABLE: return "cable";
    default: return "none";
    }
}

// One line per attached tuner. Handles are opened by index from 0 to count - 1 and
// closed again; an open can fail when the tuner went away in between.
void PrintTuners() {
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    std::printf("%lu tuner(s) attached\n", count);
    for (unsigned long index = 0; index < count; ++index) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(index, &handle) != OB_SUCCESS) continue;

        // The caller provides the buffers; empty, they print as such should the tuner go
        // away before they are filled.
        char model[OMBREL_DEVICE_STRING_SIZE] = {};
        char guid[OMBREL_GUID_STRING_SIZE] = {};
        OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_WDM;
        OB_GetDeviceString(handle, model);
        OB_GetGUIDString(handle, guid);
        OB_GetTunerType(handle, &type);
        // The record starts with its size, so that a later library can add to it: set
        // Size to the record this program knows.
        OMBREL_TUNER_CAPABILITIES caps = {};
        caps.Size = sizeof caps;
        const bool known = OB_GetTunerCapabilities(handle, &caps) == OB_SUCCESS;
        std::printf("  %-20s GUID %s  %s  receives %s, %s\n", model, guid,
                    type == OMBREL_TUNER_TYPE_BDA ? "BDA" : "WDM", known ? ReceptionText(caps.Reception) : "?",
                    known && caps.CommonInterface ? "Common Interface slot" : "no Common Interface slot");

        OB_CloseDeviceHandle(handle);
    }
    std::fflush(stdout);
}

// The library sends OMBREL_MSG_DEVICES_CHANGED from its own thread and waits until this
// window has handled it; calling the library from here is allowed.
LRESULT CALLBACK NotificationWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == OMBREL_MSG_DEVICES_CHANGED) {
        std::printf("The tuners changed:\n");
        PrintTuners();
        if (--g_changesLeft <= 0) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    g_changesLeft = argc > 1 ? std::atoi(argv[1]) : 0;

    // Once per process, before anything else: finds the tuners and starts listening
    // for device changes.
    if (OB_Initialize() != OB_SUCCESS) {
        std::fprintf(stderr, "ListTuners: the library could not start\n");
        return 1;
    }
    std::printf("OmbrelApi %s\n", OB_GetApiVersion());
    PrintTuners();
    if (g_changesLeft <= 0) return 0;

    // A message-only window is enough: the library sends to it directly.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = NotificationWindow;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ListTunersNotifications";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    if (!window) {
        std::fprintf(stderr, "ListTuners: no window for the notifications\n");
        return 1;
    }
    OB_RegisterGeneralNotifications(window);
    std::printf("Waiting for %d change(s) of the tuners (Ctrl+C ends)\n", g_changesLeft);
    std::fflush(stdout);

    // The window's thread must pump messages for the library's sends to arrive.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
