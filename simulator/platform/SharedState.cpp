#include "SharedState.h"

#include <cstring>
#include <mutex>

#include "DeviceNames.h"
#include "StateCheck.h"
#include "Text.h"
#include "TunerSimControl.h"

namespace tunersim {

namespace {

constexpr wchar_t kMutexName[] = L"TunerSimStateMutex";
constexpr wchar_t kMappingName[] = L"TunerSimStateMapping";

struct Mapping {
    HANDLE mutex = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE section = nullptr;
    layout::SharedState* view = nullptr;

    ~Mapping() {
        if (view) UnmapViewOfFile(view);
        if (section) CloseHandle(section);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (mutex) CloseHandle(mutex);
    }
};

[[noreturn]] void Fail(const std::string& what) {
    throw Error(what + " (error " + std::to_string(GetLastError()) + ")");
}

void AcquireMutex(HANDLE mutex) {
    const DWORD r = WaitForSingleObject(mutex, INFINITE);
    // An abandoned mutex still gives ownership; the record may be half-changed, which
    // the next writer repairs.
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) Fail("cannot take the simulator lock");
}

void OpenMapping(Mapping& m) {
    m.mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (!m.mutex) Fail("cannot create the simulator lock");
    AcquireMutex(m.mutex);
    struct Release {
        HANDLE h;
        ~Release() { ReleaseMutex(h); }
    } release{m.mutex};

    const std::wstring path = StateFilePath();
    const std::wstring dir = path.substr(0, path.find_last_of(L'\\'));
    CreateDirectoryW(dir.c_str(), nullptr);
    m.file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m.file == INVALID_HANDLE_VALUE) Fail("cannot open the simulator state file");
    constexpr DWORD size = sizeof(layout::SharedState);
    m.section = CreateFileMappingW(m.file, nullptr, PAGE_READWRITE, 0, size, kMappingName);
    if (!m.section) Fail("cannot map the simulator state file");
    m.view = static_cast<layout::SharedState*>(
        MapViewOfFile(m.section, FILE_MAP_ALL_ACCESS, 0, 0, size));
    if (!m.view) Fail("cannot map the simulator state file");
    layout::SharedState& s = *m.view;
    if (layout::StateProblem(s)) {
        // A new file, one of another layout, or a damaged one: start afresh.
        std::memset(&s, 0, size);
        s.magic = layout::kMagic;
        s.layoutVersion = layout::kLayoutVersion;
        s.size = size;
    }
}

Mapping& TheMapping() {
    static Mapping mapping;
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        try {
            OpenMapping(mapping);
            ready = true;
        } catch (...) {
            // Left not ready: every later call reports the failure again.
        }
    });
    if (!ready) throw Error("cannot open the simulator state in " + Narrow(StateFilePath()));
    return mapping;
}

}  // namespace

std::wstring StateFilePath() {
    wchar_t base[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ProgramData", base, MAX_PATH);
    std::wstring root = (n > 0 && n < MAX_PATH) ? std::wstring(base, n) : L"C:\\ProgramData";
    return root + L"\\TunerSim\\state.bin";
}

int64_t NowMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<int64_t>(v.QuadPart / 10000);
}

StateLock LockState() {
    Mapping& m = TheMapping();
    AcquireMutex(m.mutex);
    return StateLock(m.mutex, m.view);
}

StateLock::~StateLock() {
    if (mutex_) ReleaseMutex(mutex_);
}

layout::DeviceRecord* StateLock::Find(std::string_view id) {
    for (auto& d : state_->devices) {
        if (d.used && names::SameId(d.id, id)) return &d;
    }
    return nullptr;
}

layout::DeviceRecord* StateLock::Allocate() {
    for (auto& d : state_->devices) {
        if (!d.used) {
            std::memset(&d, 0, sizeof d);
            return &d;
        }
    }
    return nullptr;
}

}  // namespace tunersim
