// A device's Common Interface session between processes: held by another process, left
// by a process that was killed or ended without closing it (with the device's
// remote-control reader running too), and opened and closed by two processes at once
// while the module comes and goes.
#include <gtest/gtest.h>

#include "CiTally.h"
#include "LibraryTestSupport.h"

#include <string>
#include <vector>

using namespace libtest;

namespace {

const std::string kId = "00000000c1a20001";

std::wstring BinDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring UniqueName(const wchar_t* what) {
    static int serial = 0;
    return std::wstring(L"ombrel_ci_") + what + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++serial);
}

class Helper {
public:
    bool Start(const std::wstring& arguments) {
        std::wstring command = L"\"" + BinDir() + L"library_ci_helper.exe\" " + arguments;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_) !=
               FALSE;
    }
    // The exit code, or 999 when it did not end in time.
    DWORD WaitForExit(DWORD timeoutMs = 30000) {
        if (!info_.hProcess) return 998;
        if (!PumpUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs))
            return 999;
        DWORD code = 997;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    void Kill() {
        TerminateProcess(info_.hProcess, 77);
        WaitForSingleObject(info_.hProcess, 30000);
    }
    HANDLE process() const { return info_.hProcess; }
    ~Helper() {
        if (!info_.hProcess) return;
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) Kill();
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }

private:
    PROCESS_INFORMATION info_{};
};

class Event {
public:
    explicit Event(const std::wstring& name) : name_(name), h_(CreateEventW(nullptr, TRUE, FALSE, name.c_str())) {}
    ~Event() { CloseHandle(h_); }
    const std::wstring& name() const { return name_; }
    HANDLE get() const { return h_; }

private:
    std::wstring name_;
    HANDLE h_;
};

class CiProcessTest : public CiBoxTest {
protected:
    CiProcessTest() : CiBoxTest("talvex-sci-r2", kId) {}

    // A helper holding the session, once it has opened it.
    void StartHolder(Helper& helper, Event& ready, Event& release, const wchar_t* ending) {
        ASSERT_TRUE(helper.Start(L"hold \"" + Widen(name_) + L"\" " + ready.name() + L" " + release.name() + L" " +
                                 ending));
        HANDLE waits[] = {ready.get(), helper.process()};
        ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0) << "the helper did not open";
        ASSERT_EQ(flags_.Ci(name_), 1);
        if (std::wstring(ending) == L"leave") {
            ASSERT_EQ(flags_.Rc(name_), 1);
        }
    }

    SharedFlags flags_;
};

}  // namespace

TEST_F(CiProcessTest, AnotherProcessHoldingTheSessionMeansInUseUntilItCloses) {
    Helper helper;
    Event ready(UniqueName(L"ready")), release(UniqueName(L"release"));
    StartHolder(helper, ready, release, L"close");
    EXPECT_EQ(OB_CI_Open(handle_), OB_IN_USE);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 100), OB_FAILED);  // not this process's
    EXPECT_EQ(OB_CI_Close(handle_), OB_FAILED);
    EXPECT_EQ(flags_.Ci(name_), 1);

    // And the other way round: this process holds it, a second helper is refused.
    SetEvent(release.get());
    ASSERT_EQ(helper.WaitForExit(), 0u);
    EXPECT_EQ(flags_.Ci(name_), 0);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    Helper refused;
    Event ready2(UniqueName(L"ready")), release2(UniqueName(L"release"));
    ASSERT_TRUE(refused.Start(L"hold \"" + Widen(name_) + L"\" " + ready2.name() + L" " + release2.name() + L" close"));
    EXPECT_EQ(refused.WaitForExit(), OB_IN_USE);
    EXPECT_EQ(flags_.Ci(name_), 1);
}

TEST_F(CiProcessTest, ASessionAndReaderLeftByAKilledProcessAreTakenOver) {
    Helper helper;
    Event ready(UniqueName(L"ready")), release(UniqueName(L"release"));
    StartHolder(helper, ready, release, L"leave");
    EXPECT_EQ(OB_CI_Open(handle_), OB_IN_USE);
    EXPECT_EQ(OB_RemoteControl_Start(handle_), OB_IN_USE);
    helper.Kill();
    // A killed process runs no code of its own: nobody cleared the flags.
    EXPECT_EQ(flags_.Ci(name_), 1);
    EXPECT_EQ(flags_.Rc(name_), 1);
    ASSERT_EQ(OB_RemoteControl_Start(handle_), OB_SUCCESS);
    EXPECT_EQ(flags_.Rc(name_), 1);
    ASSERT_EQ(OB_RemoteControl_Stop(handle_), OB_SUCCESS);
    EXPECT_EQ(flags_.Rc(name_), 0);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    EXPECT_EQ(flags_.Ci(name_), 1);
    // The session works: the module is heard.
    MessageSink sink;
    ASSERT_EQ(OB_RegisterNotifications(handle_, sink.hwnd()), OB_SUCCESS);
    tunersim::ReadyModule(kId);
    EXPECT_TRUE(PumpUntil([&] { return sink.CountOf(OMBREL_MSG_CI_MODULE_READY) == 1; }));
    ASSERT_EQ(OB_CI_Close(handle_), OB_SUCCESS);
    EXPECT_EQ(flags_.Ci(name_), 0);
}

TEST_F(CiProcessTest, AProcessThatEndsNormallyFreesItsSessionAndReader) {
    // This process holds the reader of a second box: the helper's end must leave it.
    const std::string otherId = "00000000c1a20002";
    tunersim::DeviceProfile other = tunersim::Preset("talvex-sci-r2");
    other.id = otherId;
    other.models = tunersim::kWdm;
    tunersim::Plug(other);
    const std::string otherName = SimDisplayName(otherId, 0);
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 2; }));
    const unsigned long otherHandle = OpenByDisplayName(otherName);
    ASSERT_NE(otherHandle, 0u);
    ASSERT_EQ(OB_RemoteControl_Start(otherHandle), OB_SUCCESS);

    Helper helper;
    Event ready(UniqueName(L"ready")), release(UniqueName(L"release"));
    StartHolder(helper, ready, release, L"leave");
    SetEvent(release.get());
    ASSERT_EQ(helper.WaitForExit(), 0u);
    // Read from outside, before anyone claims anything: the ended process cleared both.
    EXPECT_EQ(flags_.Ci(name_), 0);
    EXPECT_EQ(flags_.Rc(name_), 0);
    EXPECT_EQ(flags_.Rc(otherName), 1);

    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_RemoteControl_Start(handle_), OB_SUCCESS);
    EXPECT_EQ(flags_.Ci(name_), 1);
    EXPECT_EQ(flags_.Rc(name_), 1);
    ASSERT_EQ(OB_RemoteControl_Stop(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_CI_Close(handle_), OB_SUCCESS);
    EXPECT_EQ(flags_.Ci(name_), 0);
    EXPECT_EQ(flags_.Rc(name_), 0);
    ASSERT_EQ(OB_RemoteControl_Stop(otherHandle), OB_SUCCESS);
    OB_CloseDeviceHandle(otherHandle);
}

TEST_F(CiProcessTest, TwoProcessesOpeningAndClosingWhileTheModuleComesAndGoes) {
    const std::wstring tallyName = UniqueName(L"tally");
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(citest::Tally),
                                        tallyName.c_str());
    ASSERT_NE(mapping, nullptr);
    auto* tally = static_cast<citest::Tally*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(tally, nullptr);
    Event go(UniqueName(L"go"));

    Helper helpers[2];
    for (Helper& helper : helpers)
        ASSERT_TRUE(helper.Start(L"churn \"" + Widen(name_) + L"\" " + go.name() + L" 3000 " + tallyName));
    SetEvent(go.get());
    // The module goes through its states meanwhile, until both have finished.
    int step = 0;
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (WaitForSingleObject(helpers[0].process(), 0) != WAIT_OBJECT_0 ||
           WaitForSingleObject(helpers[1].process(), 0) != WAIT_OBJECT_0) {
        ASSERT_LT(GetTickCount64(), deadline) << "the helpers did not finish";
        switch (step++ % 3) {
        case 0: tunersim::InsertModule(kId); break;
        case 1: tunersim::ReadyModule(kId); break;
        default: tunersim::RemoveModule(kId); break;
        }
        PumpFor(40);
    }
    for (Helper& helper : helpers) EXPECT_EQ(helper.WaitForExit(), 0u);

    EXPECT_EQ(tally->overlaps, 0);
    EXPECT_EQ(tally->unexpected, 0);
    EXPECT_EQ(tally->closeFailures, 0);
    EXPECT_EQ(tally->holders, 0);
    EXPECT_GT(tally->opened, 1);
    EXPECT_EQ(flags_.Ci(name_), 0);
    EXPECT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    UnmapViewOfFile(tally);
    CloseHandle(mapping);
}
