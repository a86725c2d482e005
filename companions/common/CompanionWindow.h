// The companions' main window: a top-level window of a fixed class name with the list
// of attached tuners and a status line, refreshed whenever the library reports a
// change. The process ends when the window receives WM_DESTROY, whoever sends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TunerView.h"

namespace companion {

struct CompanionKind {
    const wchar_t* className;  // exact: other programs find the window by it
    const wchar_t* title;
    const wchar_t* listCaption;  // label above the list: what its columns are
    std::string (*row)(const TunerInfo&);
    std::string (*status)(const std::vector<TunerInfo>&);
};

// Creates the window, starts the library, shows the window with `showCommand` (also
// SW_HIDE) and runs the message loop. Returns the process exit code.
int RunCompanion(HINSTANCE instance, int showCommand, const CompanionKind& kind);

}  // namespace companion
