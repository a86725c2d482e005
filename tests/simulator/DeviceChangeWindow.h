// A hidden top-level window on its own thread that counts the WM_DEVICECHANGE
// (DBT_DEVNODES_CHANGED) broadcasts it receives.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <atomic>
#include <thread>

namespace simtest {

class DeviceChangeWindow {
public:
    DeviceChangeWindow() {
        thread_ = std::thread([this] { Run(); });
        for (int i = 0; i < 500 && !ready_; ++i) Sleep(10);
    }
    DeviceChangeWindow(const DeviceChangeWindow&) = delete;
    DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;
    ~DeviceChangeWindow() {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    bool Ready() const { return window_ != nullptr; }
    int Count() const { return count_; }
    bool WaitFor(int count, DWORD timeoutMs = 10000) const {
        for (DWORD waited = 0; count_ < count && waited < timeoutMs; waited += 10) Sleep(10);
        return count_ >= count;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<DeviceChangeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_DEVICECHANGE && w == DBT_DEVNODES_CHANGED && self) {
            ++self->count_;
            return TRUE;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(window, message, w, l);
    }

    void Run() {
        WNDCLASSW cls{};
        cls.lpfnWndProc = Procedure;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"TunerSimTestDeviceChange";
        RegisterClassW(&cls);
        HWND window = CreateWindowExW(0, cls.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                      nullptr, nullptr, cls.hInstance, nullptr);
        if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = window;
        ready_ = true;
        if (!window) return;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> ready_{false};
    std::atomic<int> count_{0};
};

}  // namespace simtest
