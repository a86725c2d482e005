// The Common Interface companion's panel below the tuner list: the chosen tuner's
// session, the module's state and application information as the library's messages
// arrive, and the module's menus (menus, lists, enquiries) to walk through.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "CiDevice.h"
#include "CompanionWindow.h"
#include "MmiScreen.h"

namespace companion::ci {

class CiPanel final : public CompanionPanel {
public:
    void Create(HWND window, HINSTANCE instance, HFONT font) override;
    int Height() const override;
    void Layout(const RECT& area) override;
    void TunerChosen(const TunerInfo* tuner) override;
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void End() override;

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
    bool moduleReady_ = false;
    std::optional<MmiScreen> screen_;
};

}  // namespace companion::ci
