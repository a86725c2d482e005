// TalvexRemote: the remote-control companion. Lists the attached tuners; for the tuner
// the user chooses it reads the remote control and shows each key as it arrives.
#include <windows.h>

#include "CompanionIds.h"
#include "CompanionWindow.h"
#include "RemotePanel.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    companion::RemotePanel panel;
    const companion::CompanionKind kind{companion::kRemoteClassName, L"Talvex Remote Control",
                                        L"Attached tuners (model, GUID, driver model):", &companion::RemoteRow,
                                        &companion::RemoteStatus, &panel};
    return companion::RunCompanion(instance, showCommand, kind);
}
