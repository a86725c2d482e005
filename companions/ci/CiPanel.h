// The Common Interface companion's part of the window: the chosen tuner's session, the
// module's state and application information as the library's messages arrive, and the
// module's menus (menus, lists, enquiries) to walk through. The session runs on a handle
// of its own, so a new reading of the list that keeps the choice on its tuner keeps it;
// it ends when the choice changes and when the window ends.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "CiDevice.h"
#include "CompanionWindow.h"
#include "MmiScreen.h"

namespace companion::ci {

class CiPanel final : public CompanionFeature {
public:
    int Create(HWND window, HFONT font) override;
    void Layout(const RECT& area) override;
    void Select(const TunerInfo* tuner) override;
    void Release() override {}  // the session's handle is the panel's own
    void End() override;
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND Make(const wchar_t* className, DWORD style, int id, const wchar_t* text = L"");
    void OnModule(UINT message);
    void OnCommand(int id, int code);
    void EnterMenu();
    void CloseMenu();
    void Confirm();
    void Back();
    void ShowModuleReady();
    // Reads the module's MMI object and shows it; none: the menu is closed.
    void Refresh();
    void Show(const std::optional<MmiScreen>& screen);
    void SetText(int id, const std::string& text);
    void EnableMenuButtons();

    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HFONT font_ = nullptr;
    CiDevice device_;
    std::optional<TunerKey> sessionOf_;  // the tuner whose session is open
    bool moduleReady_ = false;
    std::optional<MmiScreen> screen_;
};

}  // namespace companion::ci
