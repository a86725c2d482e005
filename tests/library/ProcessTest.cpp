// The library across processes and across its own unload: the shared section seen
// by several processes at once, and FreeLibrary while the process goes on.
// This program does not link the library; it loads it when a case needs it.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include "LoadedLibrary.h"
#include "ProcessProbe.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

using libtest::BinDir;
using libtest::HiddenWindowOfThisProcess;
using libtest::LoadedLibrary;
using libtest::ThreadsOfThisProcess;

namespace {

constexpr DWORD kSectionSize = 52004;

#pragma pack(push, 1)
struct SharedEntry {
    char name[512];
    int32_t rcInUse;
    int32_t ciInUse;
};
#pragma pack(pop)

// The section as the contract lays it out, mapped by this process itself.
class SectionView {
public:
    SectionView() {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionSize, "SHARED_DATA");
        if (mapping_) view_ = static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    ~SectionView() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
    }
    bool ok() const { return view_ != nullptr; }
    uint32_t count() const { return *reinterpret_cast<volatile uint32_t*>(view_); }
    void setCount(uint32_t n) { *reinterpret_cast<volatile uint32_t*>(view_) = n; }
    SharedEntry& entry(int i) { return *reinterpret_cast<SharedEntry*>(view_ + 4 + 520 * i); }
    int Occurrences(const std::string& name) {
        int n = 0;
        for (uint32_t i = 0; i < count() && i < 100; ++i) n += name == entry(static_cast<int>(i)).name;
        return n;
    }
    // The rest of the last page, beyond the section's 52004 bytes.
    bool TailClean() const {
        MEMORY_BASIC_INFORMATION mbi{};
        VirtualQuery(view_, &mbi, sizeof mbi);
        for (SIZE_T i = kSectionSize; i < mbi.RegionSize; ++i)
            if (view_[i] != 0) return false;
        return true;
    }

private:
    HANDLE mapping_ = nullptr;
    unsigned char* view_ = nullptr;
};

// Mapped once for the whole program, so the section outlives every helper.
SectionView& Section() {
    static SectionView view;
    return view;
}

class Kernel {
public:
    explicit Kernel(HANDLE h) : h_(h) {}
    ~Kernel() {
        if (h_) CloseHandle(h_);
    }
    Kernel(const Kernel&) = delete;
    Kernel& operator=(const Kernel&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Starts helpers that scan together on one signal and stay loaded until released.
struct HelperRun {
    std::vector<PROCESS_INFORMATION> processes;
    std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount());
    Kernel go{CreateEventW(nullptr, TRUE, FALSE, (L"ombrel_go_" + tag).c_str())};
    Kernel scanned{CreateSemaphoreW(nullptr, 0, 64, (L"ombrel_scanned_" + tag).c_str())};
    Kernel release{CreateEventW(nullptr, TRUE, FALSE, (L"ombrel_release_" + tag).c_str())};

    bool Start(int n) {
        for (int i = 0; i < n; ++i) {
            std::wstring cmd = L"\"" + BinDir() + L"library_section_helper.exe\" ombrel_go_" + tag +
                               L" ombrel_scanned_" + tag + L" ombrel_release_" + tag;
            STARTUPINFOW si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
            processes.push_back(pi);
        }
        return true;
    }
    bool ScanTogether() {
        SetEvent(go.get());
        for (size_t i = 0; i < processes.size(); ++i)
            if (WaitForSingleObject(scanned.get(), 30000) != WAIT_OBJECT_0) return false;
        return true;
    }
    std::vector<DWORD> Finish() {
        SetEvent(release.get());
        std::vector<DWORD> codes;
        for (auto& pi : processes) {
            DWORD code = 999;
            if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
            else TerminateProcess(pi.hProcess, 998);
            codes.push_back(code);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        processes.clear();
        return codes;
    }
    ~HelperRun() { Finish(); }
};

std::string DisplayNameOf(const std::string& id, const char* category) {
    auto info = tunersim::Find(id);
    for (const auto& name : info->displayNames)
        if (name.find(category) != std::string::npos) return name;
    return {};
}
constexpr const char* kWdmCategory = "{860BB310-5D01-11D0-BD3B-00A0C911CE86}";
constexpr const char* kTunerCategory = "{71985F48-1CA1-11D3-9CC8-00C04F7971E0}";

tunersim::DeviceProfile Box(int n, unsigned models) {
    tunersim::DeviceProfile box;
    char id[17];
    snprintf(id, sizeof id, "00000000beef%04x", n);
    box.id = id;
    box.models = models;
    return box;
}

}  // namespace

TEST(SharedSection, ProcessesScanningTogetherRegisterEachDeviceOnce) {
    ASSERT_TRUE(Section().ok());
    tunersim::Reset(false);
    const uint32_t before = Section().count();
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        tunersim::Plug(Box(i, i % 3 == 0 ? tunersim::kBoth : tunersim::kWdm), false);
        names.push_back(DisplayNameOf(Box(i, 0).id, kWdmCategory));
        if (i % 3 == 0) names.push_back(DisplayNameOf(Box(i, 0).id, kTunerCategory));
    }
    ASSERT_EQ(names.size(), 16u);

    HelperRun run;
    ASSERT_TRUE(run.Start(3));
    ASSERT_TRUE(run.ScanTogether());
    EXPECT_EQ(Section().count(), before + 16);
    for (const std::string& name : names) EXPECT_EQ(Section().Occurrences(name), 1) << name;
    for (uint32_t i = 0; i < Section().count(); ++i) {
        EXPECT_EQ(Section().entry(static_cast<int>(i)).rcInUse, 0);
        EXPECT_EQ(Section().entry(static_cast<int>(i)).ciInUse, 0);
    }
    EXPECT_TRUE(Section().TailClean());
    for (DWORD code : run.Finish()) EXPECT_EQ(code, 16u);

    // A later process opens the same section and adds nothing it already holds.
    HelperRun again;
    ASSERT_TRUE(again.Start(1));
    ASSERT_TRUE(again.ScanTogether());
    EXPECT_EQ(Section().count(), before + 16);
    for (DWORD code : again.Finish()) EXPECT_EQ(code, 16u);
}

TEST(SharedSection, FullTableRegistersNoNewNameAndWritesNothingPast) {
    ASSERT_TRUE(Section().ok());
    tunersim::Reset(false);
    for (uint32_t i = Section().count(); i < 100; ++i) {
        snprintf(Section().entry(static_cast<int>(i)).name, 512, "@device:sw:{00000000-0000-0000-0000-000000000000}\\filler%u", i);
        Section().setCount(i + 1);
    }
    tunersim::Plug(Box(200, tunersim::kWdm), false);
    const std::string name = DisplayNameOf(Box(200, 0).id, kWdmCategory);

    HelperRun run;
    ASSERT_TRUE(run.Start(1));
    ASSERT_TRUE(run.ScanTogether());
    EXPECT_EQ(Section().count(), 100u);
    EXPECT_EQ(Section().Occurrences(name), 0);
    EXPECT_TRUE(Section().TailClean());
    for (DWORD code : run.Finish()) EXPECT_EQ(code, 1u);  // the device is still listed
    tunersim::Reset(false);
}

namespace {

bool ClassRegistered() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(GetModuleHandleW(nullptr), L"Ombrel_Api", &wc) != FALSE;
}

int g_generalMessages = 0;
LRESULT CALLBACK CountingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == OMBREL_MSG_DEVICES_CHANGED) {
        ++g_generalMessages;
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

void Pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
}

}  // namespace

TEST(Unload, FreeLibraryStopsTheWindowThreadAndTheProcessGoesOn) {
    CoInitialize(nullptr);
    tunersim::Reset(false);
    tunersim::Plug(Box(300, tunersim::kWdm), false);
    const int threadsBefore = ThreadsOfThisProcess();

    for (int round = 0; round < 2; ++round) {
        LoadedLibrary lib;
        ASSERT_TRUE(lib.ok()) << round;
        ASSERT_EQ(lib.initialize(), OB_SUCCESS);
        unsigned long n = 0;
        lib.count(&n);
        EXPECT_EQ(n, 1u) << round;
        unsigned long h = 0;
        ASSERT_EQ(lib.open(0, &h), OB_SUCCESS);  // left open on purpose: unload must cope
        ASSERT_NE(HiddenWindowOfThisProcess(), nullptr);
        EXPECT_GT(ThreadsOfThisProcess(), threadsBefore);

        ASSERT_TRUE(FreeLibrary(lib.module));
        EXPECT_EQ(GetModuleHandleW(L"OmbrelApi.dll"), nullptr) << round;
        EXPECT_EQ(HiddenWindowOfThisProcess(), nullptr) << round;
        EXPECT_FALSE(ClassRegistered()) << round;
        EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore) << round;

        // Device changes after the unload reach no code of the library.
        tunersim::Unplug(Box(300, 0).id);
        tunersim::Plug(Box(300, tunersim::kWdm));
        Pump(100);
    }
}

TEST(Unload, FreeLibraryEndsARunningRemoteReaderAndKeepsNothingLoaded) {
    CoInitialize(nullptr);
    tunersim::Reset(false);
    const tunersim::DeviceProfile box = Box(304, tunersim::kWdm);
    tunersim::Plug(box, false);
    const int threadsBefore = ThreadsOfThisProcess();

    for (uint32_t round = 0; round < 2; ++round) {
        LoadedLibrary lib;
        ASSERT_TRUE(lib.ok()) << round;
        ASSERT_EQ(lib.initialize(), OB_SUCCESS);
        unsigned long h = 0;
        ASSERT_EQ(lib.open(0, &h), OB_SUCCESS);
        ASSERT_EQ(lib.remoteStart(h), OB_SUCCESS);  // neither stopped nor closed: unload must
        for (int i = 0; i < 2000 && tunersim::Remote(box.id).waitingReads == 0; ++i) Sleep(10);
        EXPECT_EQ(tunersim::Remote(box.id).waitingReads, 1u) << round;

        ASSERT_TRUE(FreeLibrary(lib.module));
        // The read was released and the thread ended; nothing keeps the library loaded.
        EXPECT_EQ(tunersim::Remote(box.id).waitingReads, 0u) << round;
        EXPECT_EQ(tunersim::Remote(box.id).releasedReads, round + 1);
        EXPECT_EQ(GetModuleHandleW(L"OmbrelApi.dll"), nullptr) << round;
        EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore) << round;
    }
    tunersim::Reset(false);
}

TEST(Unload, FreeLibraryDuringARescanThatSendsToThisThread) {
    CoInitialize(nullptr);
    tunersim::Reset(false);
    tunersim::Plug(Box(301, tunersim::kWdm), false);
    const int threadsBefore = ThreadsOfThisProcess();

    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OmbrelUnloadTestSink";
    RegisterClassW(&wc);
    HWND sink = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(sink, nullptr);

    LoadedLibrary lib;
    ASSERT_TRUE(lib.ok());
    ASSERT_EQ(lib.initialize(), OB_SUCCESS);
    lib.registerGeneral(sink);
    g_generalMessages = 0;

    // A slow identification keeps the window thread's rescan busy while the library
    // is unloaded; the rescan then finds a new device and sends to this thread.
    tunersim::Plug(Box(302, tunersim::kWdm), false);
    tunersim::InjectFault(Box(302, 0).id, OMBREL_PROP_FIRMWARE_VERSION, tunersim::Direction::Get,
                          {tunersim::FaultKind::Delay, 0, 400});
    HWND hidden = HiddenWindowOfThisProcess();
    ASSERT_NE(hidden, nullptr);
    PostMessageW(hidden, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
    // The unload comes while the rescan waits for the slow identification.
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (tunersim::Requests(Box(302, 0).id, OMBREL_PROP_FIRMWARE_VERSION).gets == 0 && GetTickCount64() < deadline)
        Sleep(5);

    ASSERT_TRUE(FreeLibrary(lib.module));
    EXPECT_EQ(g_generalMessages, 1);  // handled while the unload waited for the thread
    EXPECT_EQ(HiddenWindowOfThisProcess(), nullptr);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    tunersim::BroadcastDeviceChange();
    Pump(100);
    EXPECT_EQ(g_generalMessages, 1);
    DestroyWindow(sink);
    tunersim::Reset(false);
}

TEST(Unload, ConcurrentFirstInitializeStartsOneThread) {
    tunersim::Reset(false);
    const tunersim::DeviceProfile box = Box(303, tunersim::kWdm);
    tunersim::Plug(box, false);
    // Slow identification keeps the first caller's scan running while the others come.
    tunersim::InjectFault(box.id, OMBREL_PROP_FIRMWARE_VERSION, tunersim::Direction::Get,
                          {tunersim::FaultKind::Delay, 0, 400});
    const int threadsBefore = ThreadsOfThisProcess();
    LoadedLibrary lib;
    ASSERT_TRUE(lib.ok());

    std::vector<HANDLE> threads;
    static LoadedLibrary::Initialize s_initialize;
    static LoadedLibrary::Count s_count;
    s_initialize = lib.initialize;
    s_count = lib.count;
    static std::atomic<int> s_failures;
    static std::atomic<int> s_returnedBeforeScan;
    s_failures = 0;
    s_returnedBeforeScan = 0;
    for (int i = 0; i < 4; ++i) {
        threads.push_back(CreateThread(nullptr, 0, [](void*) -> DWORD {
            CoInitialize(nullptr);
            if (s_initialize() != OB_SUCCESS) ++s_failures;
            // Whoever returns from OB_Initialize finds the plugged box listed.
            unsigned long n = 0;
            s_count(&n);
            if (n != 1) ++s_returnedBeforeScan;
            CoUninitialize();
            return 0;
        }, nullptr, 0, nullptr));
        Sleep(20);
    }
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 30000), WAIT_OBJECT_0);
    for (HANDLE t : threads) CloseHandle(t);
    EXPECT_EQ(s_failures.load(), 0);
    EXPECT_EQ(s_returnedBeforeScan.load(), 0);
    tunersim::ClearFaults(box.id);

    EXPECT_EQ(libtest::HiddenWindowsOfThisProcess().size(), 1u);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore + 1);
    unsigned long n = 0;
    lib.count(&n);
    EXPECT_EQ(n, 1u);  // two scans at once, one entry
    ASSERT_TRUE(FreeLibrary(lib.module));
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    tunersim::Reset(false);
}

TEST(Unload, FreeLibraryClosesAnOpenCiSessionAndStopsTheReaderBeside) {
    CoInitialize(nullptr);
    tunersim::Reset(false);
    // A model with a CI slot. Its name has a shared entry even when an earlier case has
    // filled the table: the first case registered it.
    const std::string id = Box(0, 0).id;
    tunersim::Plug(Box(0, tunersim::kWdm), false);
    tunersim::ReadyModule(id);
    const std::string name = DisplayNameOf(id, kWdmCategory);
    const int threadsBefore = ThreadsOfThisProcess();

    for (int round = 0; round < 2; ++round) {
        LoadedLibrary lib;
        ASSERT_TRUE(lib.ok()) << round;
        ASSERT_EQ(lib.initialize(), OB_SUCCESS);
        unsigned long h = 0;
        ASSERT_EQ(lib.open(0, &h), OB_SUCCESS);
        ASSERT_EQ(lib.ciOpen(h), OB_SUCCESS) << round;
        ASSERT_EQ(lib.remoteStart(h), OB_SUCCESS) << round;  // a reader on the same handle
        int entry = -1;
        for (uint32_t i = 0; i < Section().count() && i < 100; ++i)
            if (name == Section().entry(static_cast<int>(i)).name) entry = static_cast<int>(i);
        ASSERT_GE(entry, 0);
        EXPECT_EQ(Section().entry(entry).ciInUse, 1);
        EXPECT_EQ(Section().entry(entry).rcInUse, 1);
        const uint32_t polls = tunersim::Requests(id, OMBREL_PROP_CI_STATUS).gets;
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (tunersim::Requests(id, OMBREL_PROP_CI_STATUS).gets == polls && GetTickCount64() < deadline)
            Pump(20);

        // The handle, the session and the reader are left open on purpose: the unload ends them.
        ASSERT_TRUE(FreeLibrary(lib.module));
        EXPECT_EQ(Section().entry(entry).ciInUse, 0) << round;
        EXPECT_EQ(Section().entry(entry).rcInUse, 0) << round;
        EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore) << round;
        const uint32_t after = tunersim::Requests(id, OMBREL_PROP_CI_STATUS).gets;
        Pump(500);
        EXPECT_EQ(tunersim::Requests(id, OMBREL_PROP_CI_STATUS).gets, after) << round;
    }
    tunersim::Reset(false);
}
