// One remote-control reader thread: it reads key codes from the driver (get 26, which waits
// until a key arrives) and posts OMBREL_MSG_REMOTE_KEY for each to the owning handle's window.
//
// The thread uses nothing of the library's tables: it holds a reference of its own to the
// property interface, and shares the stop flag and the window with its RemoteReader through a
// reference-counted link, so that a thread whose read the driver never gives back still finds
// all of it alive when the read returns at last. The link's lock makes "stopped" final: no
// key is posted once RequestStop has returned.
//
// The thread ends in two steps: it signals that it has left its loop and waits, in the
// system's code, until its stopper lets it go (or, when the library is being unloaded under
// the loader lock, where it could not end by itself, ends it there).
#pragma once

#include "Win32Handle.h"

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

namespace ombrel {

using Microsoft::WRL::ComPtr;

class ReaderLink;

class RemoteReader {
public:
    // How long a stop waits for the thread: a driver that does not release a waiting read
    // on the cancel gets this long, then its thread is left to end by itself.
    static constexpr DWORD kStopBoundMs = 3000;
    // How long a stop lets a read that is under way come back by itself before it cancels it.
    static constexpr DWORD kCancelGraceMs = 50;

    enum class Ending {
        Release,    // let the thread end by itself
        Terminate,  // end it where it waits: the library is being unloaded
    };

    // Starts a thread that reads through `properties` and posts to `window` with `owner` as
    // wParam. Null when the thread cannot be started.
    static std::unique_ptr<RemoteReader> Start(ComPtr<IKsPropertySet> properties, std::uint32_t owner,
                                               HWND window) noexcept;

    // Start's; a link is made only there.
    RemoteReader(std::shared_ptr<ReaderLink> link, ComPtr<IKsPropertySet> properties);
    RemoteReader(const RemoteReader&) = delete;
    RemoteReader& operator=(const RemoteReader&) = delete;
    // One that was not finished is stopped here as at unload (Ending::Terminate).
    ~RemoteReader();

    // Where the next keys go (null: read and dropped).
    void SetWindow(HWND window);

    // Sets the stop flag. No key is posted once this has returned.
    void RequestStop();

    // After RequestStop: sends the cancel (property 27) if the thread is in a read that does
    // not come back by itself within kCancelGraceMs, and waits until `deadline`
    // (GetTickCount64) for the thread to leave its loop. A thread between two reads, or one
    // whose read failed or returned, needs no cancel: it reads no more, and a driver that keeps
    // a cancel for the next read would end the next reader's first read with it. A thread that
    // does not leave in time is abandoned: it ends by itself whenever its read returns, and the
    // library's module is pinned so that its code is still there then. True when the thread
    // has ended.
    bool Finish(ULONGLONG deadline, Ending ending);

private:
    std::shared_ptr<ReaderLink> link_;
    ComPtr<IKsPropertySet> properties_;  // the stopper's own reference, for the cancel
    UniqueHandle thread_;
    bool cancel_ = false;  // the stop found the thread in a read
};

}  // namespace ombrel
