#include "AppFrame.h"

#include <commctrl.h>

#include <exception>

CAppFrame* CAppFrame::s_app = nullptr;

CAppFrame::CAppFrame() { s_app = this; }

CAppFrame::~CAppFrame()
{
    if (s_app == this) s_app = nullptr;
}

int CAppFrame::Run()
{
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int CAppFrame::RunApplication()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (!s_app) return 1;
    try {
        if (!s_app->InitInstance()) return 0;
        return s_app->Run();
    } catch (const std::exception&) {
        return 1;
    }
}
