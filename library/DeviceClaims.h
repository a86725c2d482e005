// Which process holds a device's Common Interface session or remote-control reader.
//
// The in-use flags live in the shared device table, whose layout other processes rely
// on. Beside it, in a section of the library's own, each flag has an owner record (the
// process id and its creation time) so that a flag left at 1 by a process that ended
// without unloading the library can be recognised and taken over.
//
// Claims and releases are serialised between processes by one named mutex; the flag
// itself changes only by interlocked operations, so a process that sets it without
// the mutex still never sees two owners.
#pragma once

#include "SharedLayout.h"
#include "Win32Handle.h"

#include <cstdint>
#include <string_view>

namespace ombrel {

enum class DeviceFlag { CommonInterface, RemoteControl };

enum class ClaimResult {
    Claimed,    // the flag was 0 and is now 1, owned by this process
    TakenOver,  // the flag was 1, its owner process has ended; now owned by this process
    NoEntry,    // no shared entry carries this name: nothing marked
    InUse,      // a live process (possibly this one, through another copy of the library) holds it
};

#pragma pack(push, 1)
struct FlagOwner {
    std::uint32_t processId;  // 0: unknown
    std::uint64_t created;    // the process's creation time (FILETIME ticks)
};
struct DeviceOwnerTable {
    FlagOwner owners[kSharedEntries][2];  // [shared entry][DeviceFlag]
};
#pragma pack(pop)

class DeviceClaims {
public:
    // Creates or opens the owner section and its mutex. False when it cannot.
    bool Open();
    void Close();

    ClaimResult Claim(SharedDeviceTable& table, std::string_view displayName, DeviceFlag flag);
    // Sets the flag of the first entry with this name to 0 and forgets its owner.
    void Release(SharedDeviceTable& table, std::string_view displayName, DeviceFlag flag);

    // For the end of this process: sets every flag whose owner record is this process
    // to 0 and forgets the owner. Takes no lock and waits for nothing (a thread that
    // ended inside a claim may hold the mutex); every shared word changes by an
    // interlocked operation.
    void ReleaseAllOfThisProcess(SharedDeviceTable& table);

private:
    NamedSection section_;
    DeviceOwnerTable* owners_ = nullptr;
};

}  // namespace ombrel
