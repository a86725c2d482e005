// Who holds which tuner's Common Interface session and remote-control reader right now,
// counted by both processes of a run in a named shared section, and which key codes
// have been received by any reader. A count above 1 is two sessions (or readers) on one
// device at once; a code received twice is a key posted twice.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace stress {

class DeviceCensus {
public:
    static constexpr int kMaxDevices = 32;
    static constexpr std::uint32_t kCodes = 0x10000;

    // The section named after the run's event stem: created by the first process,
    // opened by the second. Throws std::runtime_error when that fails.
    DeviceCensus(const std::string& stem, bool create);
    DeviceCensus(const DeviceCensus&) = delete;
    DeviceCensus& operator=(const DeviceCensus&) = delete;
    ~DeviceCensus();

    // The holders of the device's session (or reader) after this one joined or left.
    long Join(int device);
    long Leave(int device);
    // False when some reader of either process received this code on the device before.
    bool FirstReceipt(int device, std::uint16_t code);

private:
    struct Device {
        volatile LONG holders;
        volatile LONG received[kCodes / 32];
    };
    Device& At(int device);

    HANDLE mapping_ = nullptr;
    Device* devices_ = nullptr;
};

}  // namespace stress
