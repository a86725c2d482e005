// The cross-process in-use flags of a device's CI session and remote-control reader:
// test-and-set, release, and the takeover of a flag whose owner process has ended.
#include <gtest/gtest.h>

#include "DeviceClaims.h"

#include <windows.h>

#include <memory>
#include <string>

using namespace ombrel;

namespace {

constexpr char kName[] = "@device:sw:{71985F48-1CA1-11D3-9CC8-00C04F7971E0}\\claims#0#00000000c1a10001#{x}";

struct Fixture {
    std::unique_ptr<SharedDeviceTable> table = std::make_unique<SharedDeviceTable>();
    DeviceClaims claims;
    Fixture() {
        RegisterSharedName(*table, "@device:sw:{...}\\other");
        RegisterSharedName(*table, kName);
    }
    SharedDeviceEntry& entry() { return table->entries[1]; }
};

// The owner records as another process sees them: mapped by name.
class OwnerView {
public:
    OwnerView() {
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "OmbrelApi.DeviceOwners");
        if (mapping_) view_ = static_cast<DeviceOwnerTable*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    ~OwnerView() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
    }
    FlagOwner& at(int index, DeviceFlag flag) { return view_->owners[index][static_cast<int>(flag)]; }
    bool ok() const { return view_ != nullptr; }

private:
    HANDLE mapping_ = nullptr;
    DeviceOwnerTable* view_ = nullptr;
};

// A process that has run and ended: its id and creation time as an owner record.
FlagOwner EndedProcess() {
    wchar_t command[] = L"cmd.exe /c exit 0";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return {};
    WaitForSingleObject(pi.hProcess, 30000);
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);  // the last handle: the process is gone for good
    return {pi.dwProcessId, (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
}

}  // namespace

TEST(DeviceClaims, FlagsAreClaimedOnceReleasedAndIndependent) {
    Fixture f;
    ASSERT_TRUE(f.claims.Open());
    OwnerView owners;
    ASSERT_TRUE(owners.ok());

    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::CommonInterface), ClaimResult::Claimed);
    EXPECT_EQ(f.entry().ciInUse, 1);
    EXPECT_EQ(f.entry().rcInUse, 0);
    EXPECT_EQ(owners.at(1, DeviceFlag::CommonInterface).processId, GetCurrentProcessId());
    // Held by a live process (this one counts too: another copy of the library may hold it).
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::CommonInterface), ClaimResult::InUse);

    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::RemoteControl), ClaimResult::Claimed);
    EXPECT_EQ(f.entry().rcInUse, 1);

    f.claims.Release(*f.table, kName, DeviceFlag::CommonInterface);
    EXPECT_EQ(f.entry().ciInUse, 0);
    EXPECT_EQ(f.entry().rcInUse, 1);
    EXPECT_EQ(owners.at(1, DeviceFlag::CommonInterface).processId, 0u);
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::CommonInterface), ClaimResult::Claimed);

    f.claims.Release(*f.table, kName, DeviceFlag::CommonInterface);
    f.claims.Release(*f.table, kName, DeviceFlag::RemoteControl);
    EXPECT_EQ(f.entry().ciInUse, 0);
    EXPECT_EQ(f.entry().rcInUse, 0);

    // A name that is not in the table marks nothing, and releasing it touches nothing.
    EXPECT_EQ(f.claims.Claim(*f.table, "@device:sw:{...}\\absent", DeviceFlag::CommonInterface), ClaimResult::NoEntry);
    f.claims.Release(*f.table, "@device:sw:{...}\\absent", DeviceFlag::RemoteControl);
    EXPECT_EQ(f.table->entries[0].ciInUse + f.table->entries[0].rcInUse, 0);
}

TEST(DeviceClaims, AFlagLeftByAnEndedProcessIsTakenOverAndStaysSet) {
    Fixture f;
    ASSERT_TRUE(f.claims.Open());
    OwnerView owners;
    ASSERT_TRUE(owners.ok());
    const FlagOwner ended = EndedProcess();
    ASSERT_NE(ended.processId, 0u);

    // Left behind: flag 1, owner an ended process.
    f.entry().rcInUse = 1;
    owners.at(1, DeviceFlag::RemoteControl) = ended;
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::RemoteControl), ClaimResult::TakenOver);
    EXPECT_EQ(f.entry().rcInUse, 1);
    EXPECT_EQ(owners.at(1, DeviceFlag::RemoteControl).processId, GetCurrentProcessId());
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::RemoteControl), ClaimResult::InUse);
    f.claims.Release(*f.table, kName, DeviceFlag::RemoteControl);

    // A live owner keeps its flag; the same number with another creation time is a
    // newer process that took the number of an ended owner.
    wchar_t command[] = L"cmd.exe /c exit 0";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi));
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user);
    const FlagOwner live{pi.dwProcessId,
                         (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
    f.entry().ciInUse = 1;
    owners.at(1, DeviceFlag::CommonInterface) = live;
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::CommonInterface), ClaimResult::InUse);
    FlagOwner older = live;
    older.created -= 1;
    owners.at(1, DeviceFlag::CommonInterface) = older;
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::CommonInterface), ClaimResult::TakenOver);
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    // A flag set by someone who left no owner record is never taken.
    f.claims.Release(*f.table, kName, DeviceFlag::CommonInterface);
    f.entry().ciInUse = 1;
    EXPECT_EQ(f.claims.Claim(*f.table, kName, DeviceFlag::CommonInterface), ClaimResult::InUse);
    f.claims.Release(*f.table, kName, DeviceFlag::CommonInterface);
    EXPECT_EQ(f.entry().ciInUse, 0);
}
