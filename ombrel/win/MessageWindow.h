// A message-only window of a class of its own, for as long as the object lives: where
// the library posts (and sends) its messages to a verb that waits for them.
#pragma once

#include <windows.h>

namespace ombrel_cli {

class MessageWindow {
public:
    // `procedure` handles what is sent; what is posted is also read from the queue.
    explicit MessageWindow(const wchar_t* className, WNDPROC procedure = &DefWindowProcW);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Null when the window could not be made.
    HWND get() const { return window_; }

private:
    const wchar_t* className_;
    bool registered_ = false;
    HWND window_ = nullptr;
};

}  // namespace ombrel_cli
