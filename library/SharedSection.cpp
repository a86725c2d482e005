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
    UniqueHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(kSharedSectionSize), kSectionName));
    if (!mapping) return false;
    MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, kSharedSectionSize));
    if (!view.get()) return false;
    UniqueHandle mutex(CreateMutexA(nullptr, FALSE, kMutexName));
    if (!mutex) return false;

    mapping_ = std::move(mapping);
    view_ = std::move(view);
    mutex_ = std::move(mutex);
    table_ = static_cast<SharedDeviceTable*>(view_.get());
    // Without the owner records the flags still work, only a flag left behind by an
    // ended process cannot be recognised.
    (void)claims_.Open();
    return true;
}

void SharedSection::Close() {
    claims_.Close();
    table_ = nullptr;
    view_.reset();
    mapping_.reset();
    mutex_.reset();
}

RegisterResult SharedSection::Register(std::string_view displayName) {
    if (!table_) return RegisterResult::TableFull;
    MutexLock lock(mutex_.get(), kAppendLockTimeoutMs);
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

}  // namespace ombrel
