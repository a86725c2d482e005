// Helper process for the cross-process tests: loads the library at start (so the
// shared section is opened by the library's own load), waits for a start signal,
// scans, reports, and keeps the library loaded until told to go.
//
//   library_section_helper.exe <go event> <scanned semaphore> <release event>
// Exit code: the number of devices found, or 200+ on a setup failure.
#include <windows.h>
#include <objbase.h>
#include <OmbrelApi.h>

#include <cstdlib>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 201;
    HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, argv[1]);
    HANDLE scanned = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (!go || !scanned || !release) return 202;
    if (WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 203;

    CoInitialize(nullptr);
    if (OB_Initialize() != OB_SUCCESS) return 204;
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    ReleaseSemaphore(scanned, 1, nullptr);
    if (WaitForSingleObject(release, 30000) != WAIT_OBJECT_0) return 205;
    return static_cast<int>(count);
}
