#include "DeviceClaims.h"

#include <cstddef>

namespace ombrel {
namespace {

constexpr char kOwnerSectionName[] = "OmbrelApi.DeviceOwners";
constexpr char kClaimMutexName[] = "OmbrelApi.DeviceClaimLock";
// A claim takes microseconds; a holder that does not let go within this is hung.
constexpr DWORD kClaimLockTimeoutMs = 5000;

volatile LONG* FlagOf(SharedDeviceEntry& entry, DeviceFlag flag) {
    std::int32_t* word = flag == DeviceFlag::CommonInterface ? &entry.ciInUse : &entry.rcInUse;
    static_assert(sizeof(LONG) == sizeof(std::int32_t));
    return reinterpret_cast<volatile LONG*>(word);
}

std::uint64_t CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

FlagOwner Self() {
    return {GetCurrentProcessId(), CreationTime(GetCurrentProcess())};
}

// Whether the recorded owner still runs. An owner that cannot be told apart (no record,
// or a process that exists but cannot be inspected) counts as alive: a flag is only
// ever taken from a process known to have ended.
bool OwnerAlive(const FlagOwner& owner) {
    if (owner.processId == 0) return true;
    if (owner.processId == GetCurrentProcessId()) return true;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, owner.processId));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return false;  // ended, handle still open somewhere
    // The number may have gone to a newer process since.
    return CreationTime(process.get()) == owner.created;
}

}  // namespace

bool DeviceClaims::Open() {
    if (!section_.Open(kOwnerSectionName, sizeof(DeviceOwnerTable), kClaimMutexName)) return false;
    owners_ = static_cast<DeviceOwnerTable*>(section_.view());
    return true;
}

void DeviceClaims::Close() {
    owners_ = nullptr;
    section_.Close();
}

ClaimResult DeviceClaims::Claim(SharedDeviceTable& table, std::string_view displayName, DeviceFlag flag) {
    const int index = FindSharedEntry(table, displayName);
    if (index < 0) return ClaimResult::NoEntry;
    volatile LONG* word = FlagOf(table.entries[index], flag);

    MutexLock lock(section_.mutex(), kClaimLockTimeoutMs);
    FlagOwner* owner = owners_ && lock.owns() ? &owners_->owners[index][static_cast<int>(flag)] : nullptr;

    if (InterlockedCompareExchange(word, 1, 0) == 0) {
        if (owner) *owner = Self();
        return ClaimResult::Claimed;
    }
    // Without the owner records nothing can be known about the holder.
    if (!owner || OwnerAlive(*owner)) return ClaimResult::InUse;
    // The flag stays 1: it changes hands, it is not released and set again.
    *owner = Self();
    return ClaimResult::TakenOver;
}

void DeviceClaims::Release(SharedDeviceTable& table, std::string_view displayName, DeviceFlag flag) {
    const int index = FindSharedEntry(table, displayName);
    if (index < 0) return;
    MutexLock lock(section_.mutex(), kClaimLockTimeoutMs);
    if (owners_ && lock.owns()) owners_->owners[index][static_cast<int>(flag)] = FlagOwner{};
    InterlockedExchange(FlagOf(table.entries[index], flag), 0);
}

void DeviceClaims::ReleaseAllOfThisProcess(SharedDeviceTable& table) {
    if (!owners_) return;
    const FlagOwner self = Self();
    if (self.processId == 0 || self.created == 0) return;
    for (std::size_t index = 0; index < kSharedEntries; ++index) {
        for (DeviceFlag flag : {DeviceFlag::CommonInterface, DeviceFlag::RemoteControl}) {
            FlagOwner& owner = owners_->owners[index][static_cast<int>(flag)];
            if (owner.processId != self.processId || owner.created != self.created) continue;
            // The owner record goes first: between the two steps a claim sees a flag
            // without a known owner and refuses, where the other order could let a new
            // owner's record be wiped. While this process runs nobody takes its flags
            // over, so the record is still its own here.
            static_assert(offsetof(FlagOwner, processId) == 0 && sizeof(FlagOwner) % sizeof(LONG) == 0);
            auto* id = reinterpret_cast<volatile LONG*>(&owner.processId);
            if (InterlockedCompareExchange(id, 0, static_cast<LONG>(self.processId)) !=
                static_cast<LONG>(self.processId)) {
                continue;
            }
            InterlockedExchange(FlagOf(table.entries[index], flag), 0);
        }
    }
}

}  // namespace ombrel
