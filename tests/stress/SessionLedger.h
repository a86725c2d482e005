// What one worker thread's window may receive while it opens and closes Common Interface
// sessions or starts and stops remote-control readers through its handles (plain C++).
//
// A message is right only for a session or reader that this thread's handle owns (the
// library posts to the owning handle's window, wParam the handle), and only until the
// thread has closed it and taken what was queued before. Within one session the module
// messages follow the module state from "no module" (present, then ready, gone only after
// present); within one reader the key codes rise (the storm presses them in rising order,
// and a key is read once).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace stress {

inline constexpr unsigned kMsgCiPresent = 0x404;
inline constexpr unsigned kMsgCiReady = 0x405;
inline constexpr unsigned kMsgCiGone = 0x406;
inline constexpr unsigned kMsgCiFlag100 = 0x407;
inline constexpr unsigned kMsgCiFlag40 = 0x408;
inline constexpr unsigned kMsgCiFlag80 = 0x409;
inline constexpr unsigned kMsgRemoteKey = 0x40A;

class SessionLedger {
public:
    // The thread's handle now owns a session (or reader).
    void Opened(std::uint32_t handle);
    // The thread has closed it and taken every message queued before the close returned.
    void Closed(std::uint32_t handle);

    // A message of 0x404..0x40A that the thread's window received; a problem when it
    // should not have come.
    std::optional<std::string> Received(unsigned message, std::uint32_t handle, std::uint32_t lParam);

    // Messages taken so far, by number.
    const std::map<unsigned, long long>& Counts() const { return counts_; }

private:
    struct Session {
        int moduleState = 0;            // 0 none, 1 present, 2 ready
        std::optional<std::uint32_t> lastKey;
    };
    std::map<std::uint32_t, Session> open_;
    std::set<std::uint32_t> closed_;
    std::map<unsigned, long long> counts_;
};

}  // namespace stress
