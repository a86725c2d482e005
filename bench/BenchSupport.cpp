#include "BenchSupport.h"

#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include <algorithm>
#include <cstdio>

namespace bench {

double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double TimeMs(const std::function<void()>& run) {
    const double start = NowMs();
    run();
    return NowMs() - start;
}

Spread Summarise(std::vector<double> times) {
    Spread s;
    if (times.empty()) return s;
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    s.median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    s.low = times.front();
    s.high = times.back();
    return s;
}

std::string Describe(const Spread& spread) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f (%.2f-%.2f)", spread.median, spread.low, spread.high);
    return text;
}

std::vector<std::vector<double>> Interleave(int rounds, const std::vector<std::function<double()>>& arms) {
    std::vector<std::vector<double>> samples(arms.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t arm = 0; arm < arms.size(); ++arm) samples[arm].push_back(arms[arm]());
    }
    return samples;
}

bool PumpUntil(const std::function<bool()>& done) {
    const ULONGLONG deadline = GetTickCount64() + 60000;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

ChangeCounter::ChangeCounter() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ChangeCounter::Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OmbrelBenchChangeCounter";
    RegisterClassW(&wc);  // once per process; later calls fail harmlessly
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                              nullptr);
    if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ChangeCounter::~ChangeCounter() {
    if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK ChangeCounter::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ChangeCounter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == OMBREL_MSG_DEVICES_CHANGED) {
        self->lastChangeMs_ = NowMs();
        ++self->changes_;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void PlugTuners(int tuners, int tag, bool broadcast) {
    tunersim::Reset(false);
    for (int i = 0; i < tuners / 2; ++i) {
        tunersim::DeviceProfile box;
        char id[17];
        std::snprintf(id, sizeof id, "0000%02x%02x%02x%06x", tag & 0xFF, tuners & 0xFF, 0xbe, i);
        box.id = id;
        box.subunit = i % 10;
        box.models = tunersim::kBoth;
        tunersim::Plug(box, false);
    }
    if (broadcast) tunersim::BroadcastDeviceChange();
}

}  // namespace bench
