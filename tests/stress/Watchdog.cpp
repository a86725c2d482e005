#include "Watchdog.h"

#include <cstdio>

namespace stress {

Watchdog::Watchdog(std::vector<const Heartbeat*> hearts, int hangSeconds, std::function<void(const std::string&)> onHang)
    : hearts_(std::move(hearts)),
      hangMs_(static_cast<DWORD>(hangSeconds) * 1000),
      onHang_(std::move(onHang)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { Watch(); }) {}

Watchdog::~Watchdog() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
}

void Watchdog::Watch() {
    struct Seen {
        std::uint64_t beats;
        ULONGLONG since;
    };
    std::vector<Seen> seen;
    for (const Heartbeat* heart : hearts_) seen.push_back({heart->Beats(), GetTickCount64()});
    while (WaitForSingleObject(stop_, 500) == WAIT_TIMEOUT) {
        const ULONGLONG now = GetTickCount64();
        for (size_t i = 0; i < hearts_.size(); ++i) {
            const Heartbeat& heart = *hearts_[i];
            const std::uint64_t beats = heart.Beats();
            if (beats != seen[i].beats || heart.Resting()) {
                seen[i] = {beats, now};
                continue;
            }
            if (now - seen[i].since < hangMs_) continue;
            const std::string report = "HANG: " + heart.Name() + " made no progress for " +
                                       std::to_string((now - seen[i].since) / 1000) + " s, while: " + heart.Doing();
            std::printf("%s\n", report.c_str());
            std::fflush(stdout);
            if (onHang_) onHang_(report);
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), kExitHang);
        }
    }
}

}  // namespace stress
