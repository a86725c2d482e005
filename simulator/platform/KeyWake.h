// Wakes the reads of a box's remote-control keys, in whichever process they wait: one
// named semaphore per box. A read that is woken looks at the shared record again. Waits are
// bounded all the same, so that a read looks again now and then whatever happens to the
// wake-ups (a process killed while its read waited leaves the count of waiting reads too
// high, which only costs spurious wake-ups).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace tunersim {

class KeyWake {
public:
    // Creates or opens the box's semaphore; without it, waits only run out their bound.
    explicit KeyWake(std::string_view id);
    KeyWake(const KeyWake&) = delete;
    KeyWake& operator=(const KeyWake&) = delete;
    ~KeyWake();

    // Waits until woken, at most `boundMs`.
    void Wait(DWORD boundMs) const;
    // Wakes `reads` waiting reads (the count the record holds under the state lock).
    void Wake(uint32_t reads) const;

private:
    HANDLE semaphore_;
};

}  // namespace tunersim
