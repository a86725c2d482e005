#include "SessionLedger.h"

#include <cstdio>

namespace stress {
namespace {

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

void SessionLedger::Opened(std::uint32_t handle) {
    open_[handle] = Session{};
    closed_.erase(handle);
}

void SessionLedger::Closed(std::uint32_t handle) {
    open_.erase(handle);
    closed_.insert(handle);
}

std::optional<std::string> SessionLedger::Received(unsigned message, std::uint32_t handle, std::uint32_t lParam) {
    ++counts_[message];
    const std::string what = "message " + Hex(message) + " for handle " + std::to_string(handle);
    const auto found = open_.find(handle);
    if (found == open_.end()) {
        return what + (closed_.count(handle) ? " after its session was closed" : " that owns no session of this thread");
    }
    Session& session = found->second;
    if (message == kMsgRemoteKey) {
        if (session.lastKey && lParam <= *session.lastKey) {
            return "key " + Hex(lParam) + " after key " + Hex(*session.lastKey) + " on handle " + std::to_string(handle);
        }
        session.lastKey = lParam;
        return std::nullopt;
    }
    if (lParam != 0) return what + " with lParam " + std::to_string(lParam);
    const int before = session.moduleState;
    switch (message) {
    case kMsgCiPresent:
        if (before != 0) return what + ": present while the module was " + (before == 1 ? "present" : "ready");
        session.moduleState = 1;
        break;
    case kMsgCiReady:
        if (before != 1) return what + ": ready " + (before == 0 ? "without present" : "twice");
        session.moduleState = 2;
        break;
    case kMsgCiGone:
        if (before == 0) return what + ": gone without present";
        session.moduleState = 0;
        break;
    case kMsgCiFlag100:
    case kMsgCiFlag40:
    case kMsgCiFlag80:
        break;
    default:
        return what + ": no message of a session";
    }
    return std::nullopt;
}

}  // namespace stress
