#include "RemoteControl.h"

#include "DeviceTable.h"
#include "SharedSection.h"

namespace ombrel {

PendingStop::PendingStop(RemoteControl& control, std::unique_ptr<RemoteReader> reader)
    : control_(&control), reader_(std::move(reader)) {}

PendingStop& PendingStop::operator=(PendingStop&& other) noexcept {
    if (this != &other) {
        Finish();
        control_ = other.control_;
        reader_ = std::move(other.reader_);
    }
    return *this;
}

PendingStop::~PendingStop() { Finish(); }

void PendingStop::Finish() {
    if (!reader_) return;
    reader_->Finish(GetTickCount64() + RemoteReader::kStopBoundMs, RemoteReader::Ending::Release);
    reader_.reset();
    control_->EndStop();
}

RemoteControl::~RemoteControl() { StopForUnload(); }

void RemoteControl::StopForUnload() {
    std::lock_guard guard(lock_);
    reader_.reset();  // stops a running reader, as at unload
    ClearFlagLocked();
    owner_ = 0;
}

unsigned long RemoteControl::Start(const HandleRecord& record, std::string_view displayName, SharedSection* shared) {
    std::string name(displayName);  // before anything changes: the only step that can throw
    std::lock_guard guard(lock_);
    if (owner_ != 0) return OB_FAILED;

    const ClaimResult claim = shared ? shared->Claim(displayName, DeviceFlag::RemoteControl) : ClaimResult::NoEntry;
    if (claim == ClaimResult::InUse) return OB_IN_USE;
    const bool flagged = claim == ClaimResult::Claimed || claim == ClaimResult::TakenOver;

    std::unique_ptr<RemoteReader> reader = RemoteReader::Start(record.propertySet, record.value, record.notifyWindow);
    if (!reader) {
        // Undone: the device stays stopped and free for others.
        if (flagged) shared->Release(displayName, DeviceFlag::RemoteControl);
        return OB_FAILED;
    }
    flagSection_ = flagged ? shared : nullptr;
    flagName_ = std::move(name);
    owner_ = record.value;
    reader_ = std::move(reader);
    return OB_SUCCESS;
}

std::optional<PendingStop> RemoteControl::BeginStop(std::uint32_t handle) {
    std::lock_guard guard(lock_);
    if (owner_ == 0 || owner_ != handle || !reader_) return std::nullopt;
    reader_->RequestStop();
    return std::optional<PendingStop>(std::in_place, *this, std::move(reader_));
}

void RemoteControl::EndStop() {
    std::lock_guard guard(lock_);
    ClearFlagLocked();
    owner_ = 0;
}

void RemoteControl::ClearFlagLocked() {
    if (flagSection_) flagSection_->Release(flagName_, DeviceFlag::RemoteControl);
    flagSection_ = nullptr;
}

void RemoteControl::WindowChanged(std::uint32_t handle, HWND window) {
    std::lock_guard guard(lock_);
    if (owner_ != 0 && owner_ == handle && reader_) reader_->SetWindow(window);
}

}  // namespace ombrel
