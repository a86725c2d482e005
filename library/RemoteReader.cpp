#include "RemoteReader.h"

#include "PropertyChannel.h"

#include <OmbrelApi.h>

#include <algorithm>
#include <mutex>

namespace ombrel {

// What the thread and its stopper share.
class ReaderLink {
public:
    ReaderLink(std::uint32_t owner, HWND window)
        : owner_(owner),
          window_(window),
          left_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    bool Usable() const { return left_ && release_; }

    // Before a read: false once stopped (read no more), else the thread counts as reading.
    bool BeginRead() {
        std::lock_guard guard(lock_);
        if (stopped_) return false;
        reading_ = true;
        return true;
    }
    // After a read: posts its key unless the read failed or a stop came meanwhile; false when
    // the thread is to read no more. Under the lock that Stop takes, so no post follows a stop.
    bool EndRead(bool succeeded, std::uint16_t key) {
        std::lock_guard guard(lock_);
        reading_ = false;
        if (stopped_ || !succeeded) return false;
        if (window_) PostMessageW(window_, OMBREL_MSG_REMOTE_KEY, owner_, key);
        return true;
    }
    // Sets the stop flag. True when the thread is in a read, which only a cancel ends.
    bool Stop() {
        std::lock_guard guard(lock_);
        stopped_ = true;
        return reading_;
    }
    void SetWindow(HWND window) {
        std::lock_guard guard(lock_);
        window_ = window;
    }

    HANDLE Left() const { return left_.get(); }        // set by the thread once out of its loop
    HANDLE Release() const { return release_.get(); }  // set by the stopper: the thread may end

private:
    std::mutex lock_;
    bool stopped_ = false;
    bool reading_ = false;
    const std::uint32_t owner_;
    HWND window_;
    UniqueHandle left_;
    UniqueHandle release_;
};

namespace {

// An address inside this module, to find the module by.
const char g_moduleAnchor = 0;

// Keeps the library mapped for the rest of the process: an abandoned thread will come back
// from the driver into its code.
void PinLibrary() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&g_moduleAnchor), &self);
}

bool WaitUntil(HANDLE object, ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    const DWORD wait = deadline > now ? static_cast<DWORD>(deadline - now) : 0;
    return WaitForSingleObject(object, wait) == WAIT_OBJECT_0;
}

struct ThreadStart {
    std::shared_ptr<ReaderLink> link;
    ComPtr<IKsPropertySet> properties;
};

// The loop has no pause of its own: the driver holds every read until a key arrives, and
// the cancel makes a waiting read return. A failed read ends it without a word.
void ReadKeys(ReaderLink& link, IKsPropertySet* properties) {
    while (link.BeginRead()) {
        unsigned char code[2] = {};
        const bool read = GetProperty(properties, OMBREL_PROP_REMOTE_KEY, code, sizeof code) == OB_SUCCESS;
        if (!link.EndRead(read, static_cast<std::uint16_t>(code[0] << 8 | code[1]))) return;
    }
}

DWORD WINAPI ReaderMain(void* parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    ReadKeys(*start->link, start->properties.Get());
    start->properties.Reset();
    // Signal and wait in one step: once the stopper sees the signal, this thread is inside
    // the system's code and stays there until it is let go.
    SignalObjectAndWait(start->link->Left(), start->link->Release(), INFINITE, FALSE);
    return 0;
}

}  // namespace

RemoteReader::RemoteReader(std::shared_ptr<ReaderLink> link, ComPtr<IKsPropertySet> properties)
    : link_(std::move(link)), properties_(std::move(properties)) {}

std::unique_ptr<RemoteReader> RemoteReader::Start(ComPtr<IKsPropertySet> properties, std::uint32_t owner,
                                                  HWND window) noexcept {
    try {
        auto link = std::make_shared<ReaderLink>(owner, window);
        if (!link->Usable() || !properties) return nullptr;
        auto start = std::make_unique<ThreadStart>(ThreadStart{link, properties});
        auto reader = std::make_unique<RemoteReader>(std::move(link), std::move(properties));
        reader->thread_ = UniqueHandle(CreateThread(nullptr, 0, &ReaderMain, start.get(), 0, nullptr));
        if (!reader->thread_) return nullptr;
        (void)start.release();  // the thread owns it now
        return reader;
    } catch (...) {
        return nullptr;  // out of memory
    }
}

RemoteReader::~RemoteReader() {
    // A reader is finished before it goes; one that was not is stopped here, as at unload.
    if (thread_) {
        RequestStop();
        Finish(GetTickCount64() + kStopBoundMs, Ending::Terminate);
    }
}

void RemoteReader::SetWindow(HWND window) { link_->SetWindow(window); }

void RemoteReader::RequestStop() {
    if (link_->Stop()) cancel_ = true;
}

bool RemoteReader::Finish(ULONGLONG deadline, Ending ending) {
    if (!thread_) return true;
    // A read under way that finds a key comes back by itself; only one that waits in the
    // driver needs the cancel. So the read gets a moment first: a cancel that comes after
    // the read has returned stays with a driver that keeps cancels for the next read.
    if (cancel_ && !WaitUntil(link_->Left(), std::min(deadline, GetTickCount64() + kCancelGraceMs)))
        (void)SetProperty(properties_.Get(), OMBREL_PROP_REMOTE_CANCEL, nullptr, 0);

    if (!WaitUntil(link_->Left(), deadline)) {
        // The driver keeps the read. The thread holds its own share of the link and posts
        // nothing more; it ends by itself when the read returns.
        PinLibrary();
        SetEvent(link_->Release());
        thread_.reset();
        return false;
    }
    if (ending == Ending::Terminate) {
        // Under the loader lock the thread could not end by itself before the library's code
        // is gone; it waits in the system's code, and ending it there runs none of ours.
        TerminateThread(thread_.get(), 0);
    } else {
        SetEvent(link_->Release());
    }
    const bool ended = WaitUntil(thread_.get(), std::max(deadline, GetTickCount64() + kStopBoundMs));
    // A let-go thread still returns through a few instructions of ours.
    if (!ended) PinLibrary();
    thread_.reset();
    return ended;
}

}  // namespace ombrel
