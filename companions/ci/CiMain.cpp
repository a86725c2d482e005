// TalvexCI: the Common Interface companion. Lists the attached tuners and which of
// them have a Common Interface slot.
#include <windows.h>

#include "CompanionIds.h"
#include "CompanionWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    static const companion::CompanionKind kind{companion::kCiClassName, L"Talvex Common Interface",
                                               L"Attached tuners (model, GUID, Common Interface):",
                                               &companion::CiRow, &companion::CiStatus};
    return companion::RunCompanion(instance, showCommand, kind);
}
