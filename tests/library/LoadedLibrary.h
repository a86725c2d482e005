// The library loaded by hand (so that a test can unload it), its exports found by their
// decorated names. For programs that do not link the library at load time.
#pragma once

#include <windows.h>

namespace libtest {

struct LoadedLibrary {
    HMODULE module = LoadLibraryW(L"OmbrelApi.dll");
    template <class F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    using Initialize = unsigned long (*)();
    using Count = unsigned long (*)(unsigned long*);
    using Open = unsigned long (*)(unsigned long, unsigned long*);
    using OnHandle = unsigned long (*)(unsigned long);
    using Text = unsigned long (*)(unsigned long, char*);
    using RegisterGeneral = unsigned long (*)(HWND);
    using Register = unsigned long (*)(unsigned long, HWND);
    Initialize initialize = Get<Initialize>("_Z13OB_Initializev");
    Count count = Get<Count>("_Z21OB_GetNumberOfDevicesPm");
    Open open = Get<Open>("_Z19OB_OpenDeviceHandlemPm");
    OnHandle close = Get<OnHandle>("_Z20OB_CloseDeviceHandlem");
    Text displayString = Get<Text>("_Z19OB_GetDisplayStringmPc");
    RegisterGeneral registerGeneral = Get<RegisterGeneral>("_Z31OB_RegisterGeneralNotificationsP6HWND__");
    Register registerWindow = Get<Register>("_Z24OB_RegisterNotificationsmP6HWND__");
    OnHandle remoteStart = Get<OnHandle>("_Z22OB_RemoteControl_Startm");
    OnHandle remoteStop = Get<OnHandle>("_Z21OB_RemoteControl_Stopm");
    OnHandle ciOpen = Get<OnHandle>("_Z10OB_CI_Openm");
    bool ok() const {
        return module && initialize && count && open && close && displayString && registerGeneral &&
               registerWindow && remoteStart && remoteStop && ciOpen;
    }
};

}  // namespace libtest
