#include "CiSession.h"

#include "PropertyChannel.h"
#include "SharedSection.h"
#include "ci/CiMessages.h"

#include <OmbrelApi.h>

namespace ombrel {
namespace {

// A poll is one short driver request; a thread that has not parked within this is hung
// in the driver and is ended where it is.
constexpr DWORD kUnloadTimeoutMs = 5000;

UINT MessageOf(ci::CiEvent event) {
    switch (event) {
    case ci::CiEvent::Flag40: return OMBREL_MSG_CI_FLAG_40;
    case ci::CiEvent::Flag80: return OMBREL_MSG_CI_FLAG_80;
    case ci::CiEvent::Flag100: return OMBREL_MSG_CI_FLAG_100;
    case ci::CiEvent::ModulePresent: return OMBREL_MSG_CI_MODULE_PRESENT;
    case ci::CiEvent::ModuleReady: return OMBREL_MSG_CI_MODULE_READY;
    case ci::CiEvent::ModuleGone: return OMBREL_MSG_CI_MODULE_GONE;
    }
    return 0;
}

HANDLE CreateWakeEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument) {
    return CreateThread(nullptr, 0, routine, argument, 0, nullptr);
}

}  // namespace

CiSession::System CiSession::DefaultSystem() { return {&CreateWakeEvent, &StartThread}; }

CiSession::~CiSession() {
    // The library closes every session before its entries go; this is for owners of a
    // session object of their own (tests).
    const std::uint32_t owner = OwnerHandle();
    if (owner) Close(owner);
}

std::uint32_t CiSession::OwnerHandle() {
    std::lock_guard guard(lock_);
    return owner_.handle;
}

unsigned long CiSession::Open(Owner owner, Flag flag, const std::function<bool()>& stillOpen) {
    std::lock_guard guard(lock_);
    if (owner_.handle) return OB_FAILED;
    // Checked under this lock: a close of the handle from now on finds the session and
    // closes it before the handle's record goes.
    if (!stillOpen()) return OB_INVALID_HANDLE;

    bool claimed = false;
    if (flag.shared) {
        switch (flag.shared->Claim(flag.displayName, DeviceFlag::CommonInterface)) {
        case ClaimResult::InUse: return OB_IN_USE;
        case ClaimResult::Claimed:
        case ClaimResult::TakenOver: claimed = true; break;
        case ClaimResult::NoEntry: break;  // no shared entry: go on without a mark
        }
    }
    owner_ = std::move(owner);
    flag_ = std::move(flag);
    flagClaimed_ = claimed;
    state_ = ci::CiState::NoModule;
    interval_ = kDefaultIntervalMs;
    stop_ = false;
    parkOnStop_ = false;

    // The driver's answer to the open command changes nothing: the session opens anyway.
    ci::Message open = ci::Command(OMBREL_CI_MSG_OPEN, ci::OpenPayload());
    (void)SetProperty(owner_.properties.Get(), OMBREL_PROP_CI_COMMAND, open.data(), ci::kMessageSize);

    wake_ = UniqueHandle(system_.createEvent());
    if (wake_) thread_ = UniqueHandle(system_.startThread(&CiSession::PollThread, this));
    if (!thread_) {
        Forget();
        return OB_FAILED;
    }
    return OB_SUCCESS;
}

unsigned long CiSession::Close(std::uint32_t handle) {
    std::lock_guard guard(lock_);
    if (!owner_.handle || owner_.handle != handle) return OB_FAILED;
    // The stop flag before the signal: the thread's last poll then posts nothing.
    stop_ = true;
    SetEvent(wake_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    Forget();
    return OB_SUCCESS;
}

void CiSession::CloseForUnload() {
    std::lock_guard guard(lock_);
    if (!owner_.handle) return;
    parked_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    park_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    parkOnStop_ = parked_ && park_;
    stop_ = true;
    SetEvent(wake_.get());
    // A thread cannot end while the loader lock is held. Parked, it waits inside the
    // system and runs none of our code again, so ending it there is safe.
    if (parkOnStop_) WaitForSingleObject(parked_.get(), kUnloadTimeoutMs);
    TerminateThread(thread_.get(), 0);
    WaitForSingleObject(thread_.get(), kUnloadTimeoutMs);
    Forget();
    parked_.reset();
    park_.reset();
}

unsigned long CiSession::SetInterval(std::uint32_t handle, unsigned long intervalMs) {
    std::lock_guard guard(lock_);
    if (!owner_.handle) return OB_FAILED;
    if (owner_.handle != handle) return OB_IN_USE;
    if (intervalMs < kMinIntervalMs || intervalMs > kMaxIntervalMs) return OB_INVALID_PARAMETER;
    interval_ = intervalMs;  // taken at the thread's next wait
    return OB_SUCCESS;
}

void CiSession::Forget() {
    thread_.reset();
    wake_.reset();
    if (flagClaimed_) flag_.shared->Release(flag_.displayName, DeviceFlag::CommonInterface);
    flagClaimed_ = false;
    flag_ = Flag{};
    owner_ = Owner{};
}

DWORD WINAPI CiSession::PollThread(void* self) {
    static_cast<CiSession*>(self)->PollLoop();
    return 0;
}

void CiSession::PollLoop() {
    // The first poll comes one interval after the open.
    for (;;) {
        WaitForSingleObject(wake_.get(), interval_.load());
        if (stop_.load()) break;
        PollOnce();
    }
    if (parkOnStop_.load()) SignalObjectAndWait(parked_.get(), park_.get(), INFINITE, FALSE);
}

void CiSession::PollOnce() {
    std::uint8_t status[2] = {};
    if (GetProperty(owner_.properties.Get(), OMBREL_PROP_CI_STATUS, status, sizeof status) != OB_SUCCESS) return;
    const ci::PollResult result = ci::Poll(state_, static_cast<std::uint16_t>(status[0] | status[1] << 8));
    state_ = result.state;  // changes whether or not the session is closing
    for (ci::CiEvent event : result.Events()) Post(event);
}

void CiSession::Post(ci::CiEvent event) {
    if (stop_.load()) return;
    // Read at every post: OB_RegisterNotifications may change it at any time.
    HWND window = owner_.window ? owner_.window->load() : nullptr;
    if (window) PostMessageW(window, MessageOf(event), owner_.handle, 0);
}

}  // namespace ombrel
