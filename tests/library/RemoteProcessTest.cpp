// Remote-control readers across processes: a reader in another process, one left behind by
// a killed process, and a process that unloads the library while the driver keeps its
// reader's read.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "ProcessBasics.h"

#include <string>

using namespace libtest;

namespace {

// library_remote_helper.exe in a mode, with the event it signals and the one it waits for.
class Helper {
public:
    Helper(const wchar_t* mode, const std::string& displayName) {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount64());
        const std::wstring readyName = L"ombrel_remote_ready_" + tag, otherName = L"ombrel_remote_go_" + tag;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        other_ = CreateEventW(nullptr, TRUE, FALSE, otherName.c_str());
        std::wstring command = L"\"" + BinDir() + L"library_remote_helper.exe\" " + mode + L" \"" +
                               std::wstring(displayName.begin(), displayName.end()) + L"\" " + readyName + L" " +
                               otherName;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_))
            ADD_FAILURE() << "cannot start the helper, error " << GetLastError();
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    ~Helper() {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 999);
            WaitForSingleObject(process_.hProcess, 10000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        CloseHandle(ready_);
        CloseHandle(other_);
    }

    // Until the helper signals ready (its reader runs; unload mode: once more, it has
    // unloaded), or ends first. Resets the signal for the next time.
    bool Ready() {
        const bool ready = WaitForEither(ready_);
        ResetEvent(ready_);
        return ready;
    }
    // Tells the helper to go on: to stop its reader, or to unload the library.
    void Go() { SetEvent(other_); }
    void Kill() {
        TerminateProcess(process_.hProcess, 998);
        WaitForSingleObject(process_.hProcess, 20000);
    }
    // The exit code, or 999 when the helper has not ended in time.
    DWORD ExitCode() {
        DWORD code = 999;
        if (PumpUntil([&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, 60000))
            GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    bool WaitForEither(HANDLE event) {
        bool set = false;
        PumpUntil([&] {
            set = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
            return set || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
        }, 60000);
        if (!set) {
            DWORD code = 0;
            GetExitCodeProcess(process_.hProcess, &code);
            ADD_FAILURE() << "the helper did not get there; exit code " << code;
        }
        return set;
    }

    HANDLE ready_ = nullptr, other_ = nullptr;
    PROCESS_INFORMATION process_{};
};

class RemoteProcessTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        tunersim::Plug(Wdm(id_));
        name_ = SimDisplayName(id_, 0);
        ASSERT_TRUE(PumpUntil([&] { return (handle_ = OpenByDisplayName(name_)) != 0; }));
        ASSERT_EQ(OB_RegisterNotifications(handle_, sink_.hwnd()), OB_SUCCESS);
    }
    void TearDown() override {
        OB_CloseDeviceHandle(handle_);
        SimTest::TearDown();
    }
    int32_t RcInUse() const { return SharedFlags().Rc(name_); }
    // This process's reader runs: a key reaches the window.
    void ExpectOwnReaderWorks(LPARAM key) {
        ASSERT_EQ(OB_RemoteControl_Start(handle_), OB_SUCCESS);
        sink_.Clear();
        tunersim::PressKey(id_, static_cast<uint16_t>(key));
        ASSERT_TRUE(PumpUntil([&] { return sink_.CountOf(OMBREL_MSG_REMOTE_KEY) == 1; }));
        EXPECT_EQ(sink_.log().back().lParam, key);
        EXPECT_EQ(sink_.log().back().wParam, handle_);
        EXPECT_EQ(OB_RemoteControl_Stop(handle_), OB_SUCCESS);
        EXPECT_EQ(RcInUse(), 0);
    }

    const std::string id_ = "00000000000c0b01";
    std::string name_;
    unsigned long handle_ = 0;
    MessageSink sink_;
};

}  // namespace

TEST_F(RemoteProcessTest, AReaderInAnotherProcessMakesStartsHereInUseUntilItStops) {
    Helper helper(L"hold", name_);
    ASSERT_TRUE(helper.Ready());
    EXPECT_EQ(RcInUse(), 1);
    EXPECT_EQ(OB_RemoteControl_Start(handle_), OB_IN_USE);
    EXPECT_EQ(OB_RemoteControl_Stop(handle_), OB_FAILED);  // nothing started here

    // The keys go to the other process's window.
    tunersim::PressKeys(id_, {0x2001, 0x2002, 0x2003});
    ASSERT_TRUE(PumpUntil([&] { return tunersim::Remote(id_).read == 3; }));
    helper.Go();
    EXPECT_EQ(helper.ExitCode(), 103u);
    EXPECT_EQ(sink_.CountOf(OMBREL_MSG_REMOTE_KEY), 0);
    EXPECT_EQ(RcInUse(), 0);
    ExpectOwnReaderWorks(0x2004);
}

TEST_F(RemoteProcessTest, AReaderOfAKilledProcessDoesNotKeepTheDeviceFromTheNext) {
    Helper helper(L"hold", name_);
    ASSERT_TRUE(helper.Ready());
    ASSERT_TRUE(PumpUntil([&] { return tunersim::Remote(id_).waitingReads == 1; }));
    helper.Kill();
    EXPECT_EQ(RcInUse(), 1);  // left behind by the killed process
    ExpectOwnReaderWorks(0x2015);
}

TEST_F(RemoteProcessTest, AProcessThatUnloadsWhileTheDriverKeepsTheReadStaysSound) {
    tunersim::InjectKeyFault(id_, tunersim::KeyFault::IgnoreCancel);
    Helper helper(L"unload", name_);
    ASSERT_TRUE(helper.Ready());
    ASSERT_TRUE(PumpUntil([&] { return tunersim::Remote(id_).waitingReads == 1; }));
    // The unload gives up on the read after its bound and leaves the device stopped.
    helper.Go();
    ASSERT_TRUE(helper.Ready());
    EXPECT_EQ(RcInUse(), 0);
    EXPECT_EQ(tunersim::Remote(id_).cancels, 1u);
    EXPECT_EQ(tunersim::Remote(id_).waitingReads, 1u);

    // The read returns at last, into the library's code of a process that unloaded it.
    tunersim::PressKey(id_, 0x2016);
    EXPECT_EQ(helper.ExitCode(), 0u);
    EXPECT_EQ(tunersim::Remote(id_).waitingReads, 0u);
    EXPECT_EQ(tunersim::Remote(id_).read, 1u);

    tunersim::InjectKeyFault(id_, tunersim::KeyFault::None);
    ExpectOwnReaderWorks(0x2017);
}
