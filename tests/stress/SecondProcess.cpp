#include "SecondProcess.h"

#include <sstream>
#include <stdexcept>

#include "Watchdog.h"

namespace stress {

Event::Event(const std::wstring& name, Mode mode)
    : handle_(mode == Create ? CreateEventW(nullptr, TRUE, FALSE, name.c_str()) : OpenEventW(SYNCHRONIZE, FALSE, name.c_str())) {
    if (!handle_) throw std::runtime_error("cannot " + std::string(mode == Create ? "create" : "open") + " a named event");
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string RunStem() { return "OmbrelStress-" + std::to_string(GetCurrentProcessId()); }

SecondProcess::SecondProcess(const Options& options)
    : events_(RunStem()),
      middle_(Widen(events_ + "-middle"), Event::Create),
      stop_(Widen(events_ + "-stop"), Event::Create),
      child_(L"worker --events " + Widen(events_) + L" --threads " + std::to_wstring(options.threads) + L" --tuners " +
             std::to_wstring(options.tuners) + L" --hang-seconds " + std::to_wstring(options.hangSeconds) + L" --storm " +
             Widen(RunName(options.run == Run::Romflux ? Run::Plug : options.run))) {}

bool SecondProcess::WaitReady(DWORD timeoutMs) {
    return PumpUntil([&] { return child_.Output().find("ready") != std::string::npos; }, timeoutMs);
}

void SecondProcess::Finish(int cycles, DWORD timeoutMs, StormReport& report) {
    stop_.Set();
    const auto code = child_.Wait(timeoutMs);
    const std::string output = child_.Output();
    ProcessFigures figures{"second process", cycles, {}, {}, {}};
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("sample start: ", 0) == 0) figures.start = DecodeSample(line.substr(14));
        if (line.rfind("sample middle: ", 0) == 0) figures.middle = DecodeSample(line.substr(15));
        if (line.rfind("sample end: ", 0) == 0) figures.end = DecodeSample(line.substr(12));
        if (line.rfind("second process: ", 0) == 0 || line.rfind("HANG", 0) == 0) report.Line(line);
        if (line.rfind("FAULT: ", 0) == 0) report.Problem("second process: " + line.substr(7));
    }
    report.Add(figures);
    if (!code) {
        child_.Kill();
        report.Problem("the second process did not end when told to");
    } else if (*code == kExitHang) {
        report.Problem("the second process hung");
    } else if (*code != 0) {
        report.Problem("the second process ended with exit code " + std::to_string(*code));
    }
}

}  // namespace stress
