#include "SharedSection.h"

namespace ombrel {
namespace {

constexpr char kSectionName[] = "SHARED_DATA";
constexpr char kMutexName[] = "SHARED_DATA_APPEND_LOCK";
// Appending takes microseconds; a holder that does not let go within this is hung
// and the name is left unregistered rather than waiting forever.
constexpr DWORD kAppendLockTimeoutMs = 5000;

}  // namespace

bool SharedSection::Open() {
    if (!section_.Open(kSectionName, static_cast<DWORD>(kSharedSectionSize), kMutexName)) return false;
    table_ = static_cast<SharedDeviceTable*>(section_.view());
    // Without the owner records the flags still work, only a flag left behind by an
    // ended process cannot be recognised.
    (void)claims_.Open();
    return true;
}

void SharedSection::Close() {
    claims_.Close();
    table_ = nullptr;
    section_.Close();
}

RegisterResult SharedSection::Register(std::string_view displayName) {
    if (!table_) return RegisterResult::TableFull;
    MutexLock lock(section_.mutex(), kAppendLockTimeoutMs);
    if (!lock.owns()) return RegisterResult::TableFull;
    return RegisterSharedName(*table_, displayName);
}

ClaimResult SharedSection::Claim(std::string_view displayName, DeviceFlag flag) {
    if (!table_) return ClaimResult::NoEntry;
    return claims_.Claim(*table_, displayName, flag);
}

void SharedSection::Release(std::string_view displayName, DeviceFlag flag) {
    if (table_) claims_.Release(*table_, displayName, flag);
}

void SharedSection::ReleaseAllOfThisProcess() {
    if (table_) claims_.ReleaseAllOfThisProcess(*table_);
}

}  // namespace ombrel
