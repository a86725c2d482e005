#include "MessageWindow.h"

namespace ombrel_cli {

MessageWindow::MessageWindow(const wchar_t* className, WNDPROC procedure) : className_(className) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className_;
    registered_ = RegisterClassExW(&windowClass) != 0;
    if (registered_) {
        window_ = CreateWindowExW(0, className_, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    }
}

MessageWindow::~MessageWindow() {
    if (window_) DestroyWindow(window_);
    if (registered_) UnregisterClassW(className_, GetModuleHandleW(nullptr));
}

}  // namespace ombrel_cli
