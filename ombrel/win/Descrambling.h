// A scrambled service descrambled by the module in the tuner's Common Interface slot:
// the session opened, a ready module awaited, and the service's PMT sent to it as the
// only program to descramble (list management only, ok_descrambling). The session stays
// open while the object lives and is closed when it goes.
#pragma once

#include "CiSession.h"

#include <MultiplexTables.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

namespace ombrel_cli {

class Descrambling {
public:
    Descrambling(unsigned long handle, const talvex::tables::Service& service, const std::string& tunerName,
                 std::chrono::milliseconds timeout, HANDLE interrupt);
    Descrambling(const Descrambling&) = delete;
    Descrambling& operator=(const Descrambling&) = delete;

    // The module took the CA PMT.
    bool Active() const { return active_; }
    // The module's menu string (ANSI), when it answered.
    const std::string& ModuleName() const { return moduleName_; }
    // Why the service is not descrambled, when it is not.
    const std::string& Reason() const { return reason_; }
    bool Interrupted() const { return interrupted_; }
    // The open session, whose window's messages the recording handles; null when none.
    CiSession* Session() { return session_ && session_->IsOpen() ? session_.get() : nullptr; }

private:
    bool AwaitModule(const std::string& tunerName, std::chrono::milliseconds timeout, HANDLE interrupt);

    std::unique_ptr<CiSession> session_;
    bool active_ = false;
    bool interrupted_ = false;
    std::string moduleName_;
    std::string reason_;
};

}  // namespace ombrel_cli
