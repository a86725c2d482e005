// Control ids and texts of ui_helper.exe's fixture dialog, shared with its tests.
#pragma once

#define UIHELPER_DIALOG 200
#define UIHELPER_COMBO 101
#define UIHELPER_LIST 102
#define UIHELPER_PROGRESS 103
#define UIHELPER_SHOW_BOX 104
#define UIHELPER_ECHO 105
#define UIHELPER_ADVANCE 106
#define UIHELPER_DISABLED 107

#define UIHELPER_CAPTION L"UI Helper Fixture"
#define UIHELPER_BOX_TEXT L"Hello from the fixture"
#define UIHELPER_BOX_CAPTION L"Fixture"
#define UIHELPER_ACKNOWLEDGED L"acknowledged"
