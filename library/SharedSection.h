// The named section "SHARED_DATA" that every process using the library maps.
#pragma once

#include "DeviceClaims.h"
#include "SharedLayout.h"
#include "Win32Handle.h"

#include <string_view>

namespace ombrel {

class SharedSection {
public:
    // Creates the section or opens the one another process created. False when the
    // section cannot be created or mapped.
    bool Open();
    void Close();
    bool IsOpen() const { return table_ != nullptr; }

    // Appends a device's display name unless it is present or the table is full.
    // Serialised between processes by a named mutex.
    RegisterResult Register(std::string_view displayName);

    // The in-use flag of a device's Common Interface session or remote-control reader:
    // test-and-set between processes, taking over a flag whose owner process has ended.
    // NoEntry while closed.
    ClaimResult Claim(std::string_view displayName, DeviceFlag flag);
    void Release(std::string_view displayName, DeviceFlag flag);
    // The process ends normally: the flags this process holds are set to 0 without a
    // lock (DeviceClaims::ReleaseAllOfThisProcess).
    void ReleaseAllOfThisProcess();

    // Null while closed.
    SharedDeviceTable* Table() const { return table_; }

private:
    NamedSection section_;
    SharedDeviceTable* table_ = nullptr;
    DeviceClaims claims_;
};

}  // namespace ombrel
