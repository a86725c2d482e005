#include "RomfluxWatch.h"

#include <stdexcept>

namespace stress {
namespace {

constexpr int kTunerList = 1001;
constexpr DWORD kAnswerMs = 10000;

std::optional<LRESULT> LineCount(HWND list) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, kAnswerMs, &count)) return std::nullopt;
    return static_cast<LRESULT>(count);
}

}  // namespace

RomfluxWatch::RomfluxWatch(unsigned long tuners, DWORD timeoutMs) : tuners_(tuners) {
    const std::wstring bin = uidriver::BinDirectory();
    app_ = uidriver::Process::Launch(bin + L"Romflux.exe", L"", bin);
    dialog_ = uidriver::WaitForTopLevelWindow(app_.Id(), L"#32770", L"Talvex Firmware Update", timeoutMs);
    if (!dialog_) throw std::runtime_error("Romflux did not show its dialog");
    list_ = uidriver::Control(dialog_, kTunerList);
    if (!list_ || !WaitForAllTuners(timeoutMs)) throw std::runtime_error("Romflux did not list the plugged tuners");
}

std::optional<std::string> RomfluxWatch::Check() const {
    if (!app_.IsRunning()) return "Romflux has ended";
    const auto lines = LineCount(list_);
    if (!lines) return "Romflux's list does not answer";
    if (*lines > static_cast<LRESULT>(tuners_)) {
        return "Romflux lists " + std::to_string(*lines) + " lines for " + std::to_string(tuners_) + " tuners";
    }
    if (HWND box = uidriver::FindMessageBox(app_.Id(), dialog_)) {
        return "Romflux shows a message box: " + uidriver::Narrow(uidriver::MessageBoxText(box));
    }
    return std::nullopt;
}

bool RomfluxWatch::WaitForAllTuners(DWORD timeoutMs) const {
    return uidriver::WaitUntil([&] { return LineCount(list_) == static_cast<LRESULT>(tuners_); }, timeoutMs, 50);
}

std::optional<std::string> RomfluxWatch::Close(DWORD timeoutMs) {
    uidriver::RequestClose(dialog_);
    const auto code = app_.WaitForExit(timeoutMs);
    if (!code) {
        app_.Kill();
        return "Romflux did not end when its dialog was closed";
    }
    if (*code != 0) return "Romflux ended with exit code " + std::to_string(*code);
    return std::nullopt;
}

}  // namespace stress
