// The library's process-wide state: shared section, device table, window thread.
#pragma once

#include "DeviceTable.h"
#include "SharedSection.h"
#include "WindowThread.h"

#include <mutex>

namespace ombrel {

class Library {
public:
    Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Maps the shared section. False when it cannot be created or mapped.
    bool Load();
    // Unload while the process goes on: stops the window thread, closes the CI
    // sessions, destroys the table, unmaps the section.
    void Unload();
    // Unload because the process ends: only what is safe without the other DLLs and
    // without the threads that were ended; frees the process's in-use flags.
    void Abandon();

    unsigned long Initialize();
    // Enumerates on this thread (initialising COM here), merges, tells the general
    // windows when anything changed.
    void Rescan() noexcept;

    DeviceTable& Table() { return table_; }
    SharedSection& Shared() { return shared_; }
    HWND Window() const { return window_.Window(); }

private:
    SharedSection shared_;
    DeviceTable table_;
    WindowThread window_;
    std::mutex initLock_;
    bool windowStarted_ = false;
    bool initialised_ = false;
};

// Set while the library is loaded (process attach to process detach).
Library* TheLibrary();

// Process attach and detach; DllMain calls these. A static build of the library
// (the benchmark's) calls them itself.
bool AttachLibrary();
void DetachLibrary(bool processTerminating);

}  // namespace ombrel
