#include "UpdateWorker.h"

#include <windows.h>

#include <memory>

#include "Lifecycle.h"

namespace tunersim {

namespace {

struct WorkerArgs {
    std::string id;
    uint32_t generation;
};

DWORD WINAPI WorkerMain(void* parameter) {
    HMODULE self = nullptr;
    {
        std::unique_ptr<WorkerArgs> args(static_cast<WorkerArgs*>(parameter));
        try {
            DriveUpdate(args->id, args->generation);
        } catch (...) {
        }
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&WorkerMain), &self);
    }
    // Drops the reference StartUpdateWorker took for this thread.
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

void StartUpdateWorker(const std::string& id, uint32_t generation) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&WorkerMain), &self))
        return;
    auto args = std::make_unique<WorkerArgs>(WorkerArgs{id, generation});
    HANDLE thread = CreateThread(nullptr, 0, WorkerMain, args.get(), 0, nullptr);
    if (!thread) {
        FreeLibrary(self);
        return;
    }
    args.release();  // owned by the thread now
    CloseHandle(thread);
}

}  // namespace tunersim
