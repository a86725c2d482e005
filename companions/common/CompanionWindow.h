// The companions' main window: a top-level window of a fixed class name with the list
// of attached tuners and a status line, refreshed whenever the library reports a
// change. The process ends when the window receives WM_DESTROY, whoever sends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TunerView.h"

namespace companion {

// What a companion adds to the common window: controls of its own below the tuner list,
// and what follows the choice of a tuner. Every call comes on the window's thread.
class CompanionFeature {
public:
    virtual ~CompanionFeature() = default;
    // Creates its controls in `window`; returns the height they take below the list.
    virtual int Create(HWND window, HFONT font) = 0;
    virtual void Layout(const RECT& area) = 0;
    // The tuner now chosen in the list (null: none), after the user's choice or after a new
    // reading of the list, which keeps the choice on its tuner.
    virtual void Select(const TunerInfo* tuner) = 0;
    // The list's handles are about to be closed for a new reading: let go of them.
    virtual void Release() = 0;
    // The window ends (WM_DESTROY, whoever sends it, or the program's end, whichever comes
    // first): let go of everything at once, the list's handles and what the feature opened
    // itself, since a sender such as Romflux waits. Called once; no call follows.
    virtual void End() = 0;
    // A message the window does not handle itself (the library's, a control's WM_COMMAND);
    // true if handled, and the window then answers 0.
    virtual bool Handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

struct CompanionKind {
    const wchar_t* className;  // exact: other programs find the window by it
    const wchar_t* title;
    const wchar_t* listCaption;  // label above the list: what its columns are
    std::string (*row)(const TunerInfo&);
    std::string (*status)(const std::vector<TunerInfo>&);
    CompanionFeature* feature = nullptr;
};

// Creates the window, starts the library, shows the window with `showCommand` (also
// SW_HIDE) and runs the message loop. Returns the process exit code.
int RunCompanion(HINSTANCE instance, int showCommand, const CompanionKind& kind);

}  // namespace companion
