#include "Library.h"

#include <objbase.h>

#include <memory>

namespace ombrel {
namespace {

std::unique_ptr<Library> g_library;

}  // namespace

Library::Library() : table_(&shared_), window_([this] { Rescan(); }) {}

bool Library::Load() { return shared_.Open(); }

void Library::Unload() {
    window_.Stop();
    table_.EndThreadsForUnload();
    // The table goes with the Library object; the section closes after it.
}

void Library::Abandon() {
    // The sessions and readers of this process end with it: every other process that
    // reads the shared section sees the devices free again at once, not only a later
    // claim that would take them over.
    shared_.ReleaseAllOfThisProcess();
    table_.Abandon();
}

unsigned long Library::Initialize() {
    {
        std::lock_guard guard(initLock_);
        if (initialised_) return OB_SUCCESS;
        if (!windowStarted_) {
            if (!window_.Start()) return OB_FAILED;
            windowStarted_ = true;
        }
    }
    // Outside the start-up lock: the general windows told by this rescan may call
    // back into the library, OB_Initialize included. A caller that comes while the
    // first one is still scanning scans too, so that no caller returns before the
    // table holds what is plugged in.
    Rescan();
    std::lock_guard guard(initLock_);
    initialised_ = true;
    return OB_SUCCESS;
}

void Library::Rescan() noexcept {
    try {
        // Single-threaded apartment; a thread that is initialised already stays as
        // it is, and the library never uninitialises it.
        (void)CoInitialize(nullptr);
        const std::uint64_t scan = table_.BeginScan();
        ScanResult found = ScanDevices([this](const std::string& name) { return table_.Knows(name); });
        const std::vector<HWND> tell = table_.Merge(std::move(found.entries), scan, std::move(found.receivers));
        for (HWND window : tell) SendMessageW(window, OMBREL_MSG_DEVICES_CHANGED, 0, 0);
    } catch (...) {
        // Out of memory: the table keeps its last state. Nothing may escape into
        // the window procedure that runs this.
    }
}

Library* TheLibrary() { return g_library.get(); }

bool AttachLibrary() {
    try {
        auto library = std::make_unique<Library>();
        if (!library->Load()) return false;
        g_library = std::move(library);
        return true;
    } catch (...) {
        return false;
    }
}

void DetachLibrary(bool processTerminating) {
    if (!g_library) return;
    if (processTerminating) {
        // Other threads are gone and other DLLs may be detached already: the
        // process's end frees everything.
        g_library->Abandon();
        (void)g_library.release();
        return;
    }
    g_library->Unload();
    g_library.reset();
}

}  // namespace ombrel
