#include "Descrambling.h"

#include "CiOutput.h"
#include "FrontEndOutput.h"

#include <OmbrelApi.h>

#include <algorithm>

namespace ombrel_cli {
namespace {

// EN 50221 ca_pmt_list_management "only" and ca_pmt_cmd_id "ok_descrambling".
constexpr unsigned char kListOnly = 3;
constexpr unsigned char kOkDescrambling = 1;
constexpr std::size_t kLongestCaPmt = 1024;

}  // namespace

Descrambling::Descrambling(unsigned long handle, const talvex::tables::Service& service, const std::string& tunerName,
                           std::chrono::milliseconds timeout, HANDLE interrupt)
    : session_(std::make_unique<CiSession>(handle)) {
    if (!session_->HasWindow()) {
        reason_ = "no window for the Common Interface session's messages (error " +
                  std::to_string(session_->WindowError()) + ")";
        return;
    }
    switch (session_->OpenResult()) {
    case ci_session::kOpened: break;
    case ci_session::kNoSlot: reason_ = tunerName + " has no Common Interface slot"; return;
    case ci_session::kInUse: reason_ = "another program has the Common Interface session of " + tunerName + " open"; return;
    default: reason_ = CiOpenRefusal(session_->OpenResult(), tunerName).message; return;
    }
    if (!AwaitModule(tunerName, timeout, interrupt)) return;
    const auto application = ReadApplication(handle);
    if (!application) {
        reason_ = "the module in the Common Interface slot of " + tunerName + " does not answer";
        return;
    }
    moduleName_ = application->menuString;
    const std::vector<std::uint8_t>& pmt = service.pmtSection;
    if (pmt.empty() || pmt.size() > kLongestCaPmt) {
        reason_ = pmt.empty() ? "the service's PMT was not read"
                              : "the service's PMT (" + std::to_string(pmt.size()) + " bytes) is longer than a CA PMT may be";
        return;
    }
    const unsigned long sent = OB_CI_SendPMT(handle, static_cast<unsigned short>(pmt.size()), kListOnly, kOkDescrambling,
                                             pmt.data());
    if (sent != OB_SUCCESS) {
        reason_ = "the module \"" + moduleName_ + "\" did not take the CA PMT (OB_CI_SendPMT returned " +
                  std::to_string(sent) + ")";
        return;
    }
    active_ = true;
}

bool Descrambling::AwaitModule(const std::string& tunerName, std::chrono::milliseconds timeout, HANDLE interrupt) {
    // A ready module answers at once; otherwise the session's first polls tell.
    if (ReadApplication(session_->Handle())) return true;
    const ULONGLONG start = GetTickCount64();
    const auto limit = static_cast<DWORD>(timeout.count());
    const auto seen = [&] { return session_->ModuleState() >= 1 || session_->TunerLeft(); };
    const auto ready = [&] { return session_->ModuleState() == 2 || session_->TunerLeft(); };
    CiSession::WaitEnd end = session_->Wait(interrupt, nullptr, std::min(limit, kModuleSeenMs), seen);
    if (end == CiSession::WaitEnd::Done && !session_->TunerLeft()) {
        const auto spent = static_cast<DWORD>(GetTickCount64() - start);
        end = session_->Wait(interrupt, nullptr, limit - std::min(limit, spent), ready);
    }
    if (end == CiSession::WaitEnd::Interrupted) {
        interrupted_ = true;
        reason_ = "stopped waiting for the module (Ctrl+C)";
        return false;
    }
    if (session_->TunerLeft()) {
        reason_ = tunerName + " went away";
        return false;
    }
    if (session_->ModuleState() == 2) return true;
    reason_ = session_->ModuleState() == 1 ? "the module in the Common Interface slot of " + tunerName +
                                                 " did not become ready within " + SecondsText(timeout)
                                           : "no module in the Common Interface slot of " + tunerName;
    return false;
}

}  // namespace ombrel_cli
