#include "Library.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // Without the shared section the library cannot keep its cross-process
        // state: refuse to load.
        return ombrel::AttachLibrary() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // reserved is non-null when the process is ending rather than FreeLibrary.
        ombrel::DetachLibrary(reserved != nullptr);
        return TRUE;
    default:
        return TRUE;
    }
}
