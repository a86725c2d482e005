// Catches hangs: every busy thread beats its heartbeat as it makes progress and says
// what it is doing; a thread whose heartbeat stands still for too long is reported
// with that, and the process is ended, so that a hang is a finding and not a stuck run.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace stress {

class Heartbeat {
public:
    explicit Heartbeat(std::string name) : name_(std::move(name)) {}
    Heartbeat(const Heartbeat&) = delete;
    Heartbeat& operator=(const Heartbeat&) = delete;

    // `doing` must be a static text.
    void Beat(const char* doing) {
        doing_.store(doing);
        beats_.fetch_add(1);
    }
    // A thread that has finished (or waits on purpose) is not watched.
    void Rest() { resting_.store(true); }
    void Wake() { resting_.store(false); }

    const std::string& Name() const { return name_; }
    std::uint64_t Beats() const { return beats_.load(); }
    const char* Doing() const { return doing_.load(); }
    bool Resting() const { return resting_.load(); }

private:
    std::string name_;
    std::atomic<std::uint64_t> beats_{0};
    std::atomic<const char*> doing_{"starting"};
    std::atomic<bool> resting_{false};
};

inline constexpr int kExitHang = 3;

class Watchdog {
public:
    // `onHang` gets the report (for example to stop helpers), then the process ends
    // with kExitHang.
    Watchdog(std::vector<const Heartbeat*> hearts, int hangSeconds, std::function<void(const std::string&)> onHang);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog();

private:
    void Watch();

    std::vector<const Heartbeat*> hearts_;
    DWORD hangMs_;
    std::function<void(const std::string&)> onHang_;
    HANDLE stop_;
    std::thread thread_;
};

}  // namespace stress
