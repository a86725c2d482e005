// The companions' main window: a top-level window of a fixed class name with the list
// of attached tuners and a status line, refreshed whenever the library reports a
// change. The process ends when the window receives WM_DESTROY, whoever sends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TunerView.h"

namespace companion {

// Controls of one companion below the tuner list: made with the window, told which
// tuner the user chose, offered every message the window does not handle itself, and
// ended with the window.
class CompanionPanel {
public:
    virtual ~CompanionPanel() = default;
    virtual void Create(HWND window, HINSTANCE instance, HFONT font) = 0;
    virtual int Height() const = 0;  // pixels below the list
    virtual void Layout(const RECT& area) = 0;
    // The user chose a row of the list (null: no tuner, or one that could not be opened).
    virtual void TunerChosen(const TunerInfo* tuner) = 0;
    // True when the panel handled the message; `result` is then the window's answer.
    virtual bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // WM_DESTROY, or the program's end, whichever comes first; called once.
    virtual void End() = 0;
};

struct CompanionKind {
    const wchar_t* className;  // exact: other programs find the window by it
    const wchar_t* title;
    const wchar_t* listCaption;  // label above the list: what its columns are
    std::string (*row)(const TunerInfo&);
    std::string (*status)(const std::vector<TunerInfo>&);
    CompanionPanel* panel = nullptr;
};

// Creates the window, starts the library, shows the window with `showCommand` (also
// SW_HIDE) and runs the message loop. Returns the process exit code.
int RunCompanion(HINSTANCE instance, int showCommand, const CompanionKind& kind);

}  // namespace companion
