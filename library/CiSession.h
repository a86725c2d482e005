// One device's Common Interface session: the handle that owns it, the poll thread that
// reads the slot's status word and posts the module's notifications to the owner's
// window, and the device's in-use flag that keeps the session to one process.
//
// Locking: lock_ serialises Open, Close and SetInterval on one device and is held while
// Close waits for the poll thread. With it held the device table's lock may be taken
// (to see that the opening handle is still open), never the other way round: the table
// calls Close only after it has let go of its own lock. The poll thread takes no lock
// at all: it reads the stop flag, the interval and the owner's window atomically, and
// everything else it uses is set before it starts and kept until it has ended.
#pragma once

#include "Discovery.h"
#include "Win32Handle.h"
#include "ci/CiPoll.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace ombrel {

class SharedSection;

class CiSession {
public:
    // What the session uses of the handle that opens it, until it closes.
    struct Owner {
        std::uint32_t handle = 0;
        const std::atomic<HWND>* window = nullptr;  // the handle's NotifyWindow
        ComPtr<IKsPropertySet> properties;
    };
    // Where the device's in-use flag lives: the shared entry with this display name.
    struct Flag {
        SharedSection* shared = nullptr;
        std::string displayName;
    };
    // How the wake event and the poll thread are made (tests make them fail).
    struct System {
        HANDLE (*createEvent)();
        HANDLE (*startThread)(LPTHREAD_START_ROUTINE routine, void* argument);
    };
    static System DefaultSystem();

    static constexpr unsigned long kDefaultIntervalMs = 200;
    static constexpr unsigned long kMinIntervalMs = 50;
    static constexpr unsigned long kMaxIntervalMs = 300;

    explicit CiSession(System system = DefaultSystem()) : system_(system) {}
    CiSession(const CiSession&) = delete;
    CiSession& operator=(const CiSession&) = delete;
    ~CiSession();

    // OB_SUCCESS, OB_FAILED (open already, or the thread could not be started: then
    // nothing of the attempt remains), OB_IN_USE (another process holds the flag), or
    // OB_INVALID_HANDLE when stillOpen() finds the handle closed meanwhile.
    unsigned long Open(Owner owner, Flag flag, const std::function<bool()>& stillOpen);
    // OB_FAILED unless `handle` owns the session; waits until the poll thread has ended.
    unsigned long Close(std::uint32_t handle);
    unsigned long SetInterval(std::uint32_t handle, unsigned long intervalMs);
    // For the library's unload, under the loader lock, where no thread can end: the poll
    // thread is stopped where it runs none of the library's code, then ended.
    void CloseForUnload();

    std::uint32_t OwnerHandle();
    unsigned long Interval() const { return interval_.load(); }

private:
    static DWORD WINAPI PollThread(void* self);
    void PollLoop();
    void PollOnce();
    void Post(ci::CiEvent event);
    // Closes the thread and the event, releases the flag and the owner (lock_ held).
    void Forget();

    const System system_;
    std::mutex lock_;
    Owner owner_;  // handle 0: no session
    Flag flag_;
    bool flagClaimed_ = false;
    UniqueHandle thread_;
    UniqueHandle wake_;
    std::atomic<bool> stop_{false};
    std::atomic<unsigned long> interval_{kDefaultIntervalMs};
    ci::CiState state_ = ci::CiState::NoModule;  // the poll thread's alone while it runs

    // Unload only: the thread signals `parked_` and waits on `park_`, which is never set.
    std::atomic<bool> parkOnStop_{false};
    UniqueHandle parked_;
    UniqueHandle park_;
};

}  // namespace ombrel
