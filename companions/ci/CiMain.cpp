// TalvexCI: the Common Interface companion. Lists the attached tuners; the chosen one's
// Common Interface session shows the module in its slot and lets the user walk the
// module's menus.
#include <windows.h>

#include "CiPanel.h"
#include "CiTexts.h"
#include "CompanionIds.h"
#include "CompanionWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    static companion::ci::CiPanel panel;
    static const companion::CompanionKind kind{companion::kCiClassName,
                                               L"Talvex Common Interface",
                                               L"Attached tuners (model, GUID, driver model):",
                                               &companion::ci::CiRow,
                                               &companion::ci::CiStatus,
                                               &panel};
    return companion::RunCompanion(instance, showCommand, kind);
}
