// TalvexRemote: the remote-control companion. Lists the attached tuners.
#include <windows.h>

#include "CompanionIds.h"
#include "CompanionWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    static const companion::CompanionKind kind{companion::kRemoteClassName, L"Talvex Remote Control",
                                               L"Attached tuners (model, GUID, driver model):",
                                               &companion::RemoteRow, &companion::RemoteStatus};
    return companion::RunCompanion(instance, showCommand, kind);
}
