// The Common Interface session on its own, with a scripted driver: the poll's messages
// in order, the interval rules, the in-use flag, and an open that cannot start its
// thread undoing everything it did.
#include <gtest/gtest.h>

#include "CiSession.h"
#include "SharedSection.h"
#include "StackPropertySet.h"

#include <OmbrelApi.h>

#include <deque>
#include <mutex>
#include <vector>

using namespace ombrel;

namespace {

// A driver whose status word follows a script, one entry per get of 28; an entry of
// -1 fails that get. After the script: 0x0000.
class ScriptedDriver : public libtest::StackPropertySet {
public:
    explicit ScriptedDriver(std::vector<int> script) : script_(script.begin(), script.end()) {}

    STDMETHODIMP Set(REFGUID, DWORD id, LPVOID, DWORD, LPVOID data, DWORD length) override {
        std::lock_guard guard(lock_);
        if (id == OMBREL_PROP_CI_COMMAND && length == OMBREL_CI_MESSAGE_SIZE)
            commandTypes_.push_back(static_cast<const unsigned char*>(data)[1]);
        return E_FAIL;  // the open command's result must not matter
    }
    STDMETHODIMP Get(REFGUID, DWORD id, LPVOID, DWORD, LPVOID data, DWORD length, DWORD* returned) override {
        std::lock_guard guard(lock_);
        if (id != OMBREL_PROP_CI_STATUS || length != 2) return E_INVALIDARG;
        ++polls_;
        int status = 0;
        if (!script_.empty()) {
            status = script_.front();
            script_.pop_front();
        }
        if (status < 0) return E_FAIL;
        static_cast<unsigned char*>(data)[0] = static_cast<unsigned char>(status & 0xFF);
        static_cast<unsigned char*>(data)[1] = static_cast<unsigned char>(status >> 8);
        if (returned) *returned = 2;
        return S_OK;
    }
    int Polls() {
        std::lock_guard guard(lock_);
        return polls_;
    }
    std::vector<unsigned char> CommandTypes() {
        std::lock_guard guard(lock_);
        return commandTypes_;
    }
private:
    std::mutex lock_;
    std::deque<int> script_;
    int polls_ = 0;
    std::vector<unsigned char> commandTypes_;
};

// A message-only window whose posted messages are collected without a window procedure.
class Inbox {
public:
    Inbox() : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    ~Inbox() { DestroyWindow(window_); }
    HWND hwnd() const { return window_; }
    // Waits until `count` messages of the session have come (or the time is up).
    std::vector<UINT> Collect(std::size_t count, unsigned long handle, DWORD timeoutMs = 10000) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, window_, OMBREL_MSG_CI_MODULE_PRESENT, OMBREL_MSG_CI_FLAG_80, PM_REMOVE)) {
                EXPECT_EQ(msg.wParam, handle);
                EXPECT_EQ(msg.lParam, 0);
                received_.push_back(msg.message);
            }
            if (received_.size() >= count || GetTickCount64() >= deadline) return received_;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
        }
    }

private:
    HWND window_;
    std::vector<UINT> received_;
};

constexpr char kName[] = "@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\session-test#0#00000000c1a5e551#{x}";

struct Shared {
    SharedSection section;
    Shared() {
        EXPECT_TRUE(section.Open());
        section.Register(kName);
    }
    int Flag() const {
        const int i = FindSharedEntry(*section.Table(), kName);
        return i < 0 ? -1 : section.Table()->entries[i].ciInUse;
    }
};

CiSession::Owner OwnerOf(std::uint32_t handle, const std::atomic<HWND>& window, ScriptedDriver& driver) {
    CiSession::Owner owner;
    owner.handle = handle;
    owner.window = &window;
    owner.properties = &driver;
    return owner;
}

bool Open() { return true; }

HANDLE NoEvent() { return nullptr; }
HANDLE RealEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }
HANDLE NoThread(LPTHREAD_START_ROUTINE, void*) { return nullptr; }

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

}  // namespace

TEST(CiSession, PollMessagesFollowTheStatusWordsInOrder) {
    Shared shared;
    ScriptedDriver driver({0x0000, 0x0010, 0x0032, 0x0040, 0x0000, 0x01F2, -1, -1, 0x0013, 0x0000});
    Inbox inbox;
    std::atomic<HWND> window{inbox.hwnd()};
    CiSession session;
    ASSERT_EQ(session.Open(OwnerOf(7, window, driver), {&shared.section, kName}, Open), OB_SUCCESS);
    EXPECT_EQ(driver.CommandTypes(), std::vector<unsigned char>{OMBREL_CI_MSG_OPEN});  // failed, opened anyway
    EXPECT_EQ(shared.Flag(), 1);
    ASSERT_EQ(session.SetInterval(7, 50), OB_SUCCESS);

    const std::vector<UINT> expected{
        OMBREL_MSG_CI_MODULE_PRESENT,                                               // 0x0010
        OMBREL_MSG_CI_MODULE_READY,                                                 // 0x0032
        OMBREL_MSG_CI_FLAG_40,                                                      // 0x0040: gone
        OMBREL_MSG_CI_MODULE_GONE,
        OMBREL_MSG_CI_FLAG_40, OMBREL_MSG_CI_FLAG_80, OMBREL_MSG_CI_FLAG_100,       // 0x01F2: found ready
        OMBREL_MSG_CI_MODULE_PRESENT, OMBREL_MSG_CI_MODULE_READY,
        OMBREL_MSG_CI_MODULE_GONE,                                                  // two failed polls, then 0
    };
    EXPECT_EQ(inbox.Collect(expected.size(), 7), expected);
    // Nothing more once the script has ended with no module.
    const int polls = driver.Polls();
    while (driver.Polls() < polls + 3) Sleep(20);
    EXPECT_EQ(inbox.Collect(expected.size() + 1, 7, 0).size(), expected.size());

    ASSERT_EQ(session.Close(7), OB_SUCCESS);
    EXPECT_EQ(shared.Flag(), 0);
    const int afterClose = driver.Polls();
    Sleep(200);
    EXPECT_EQ(driver.Polls(), afterClose);
    EXPECT_EQ(driver.References(), 1u);  // the session let go of the interface
}

TEST(CiSession, OwnerIntervalAndFlagRules) {
    Shared shared;
    ScriptedDriver driver({});
    std::atomic<HWND> window{nullptr};
    CiSession session;
    EXPECT_EQ(session.SetInterval(7, 100), OB_FAILED);
    EXPECT_EQ(session.Close(7), OB_FAILED);
    // A handle closed between its lookup and the open.
    EXPECT_EQ(session.Open(OwnerOf(7, window, driver), {&shared.section, kName}, [] { return false; }),
              OB_INVALID_HANDLE);
    EXPECT_EQ(shared.Flag(), 0);

    ASSERT_EQ(session.Open(OwnerOf(7, window, driver), {&shared.section, kName}, Open), OB_SUCCESS);
    EXPECT_EQ(session.Open(OwnerOf(7, window, driver), {&shared.section, kName}, Open), OB_FAILED);
    EXPECT_EQ(session.Open(OwnerOf(8, window, driver), {&shared.section, kName}, Open), OB_FAILED);
    EXPECT_EQ(session.Interval(), 200u);
    EXPECT_EQ(session.SetInterval(8, 100), OB_IN_USE);
    EXPECT_EQ(session.SetInterval(7, 49), OB_INVALID_PARAMETER);
    EXPECT_EQ(session.Interval(), 200u);
    EXPECT_EQ(session.SetInterval(7, 50), OB_SUCCESS);
    EXPECT_EQ(session.Interval(), 50u);
    EXPECT_EQ(session.SetInterval(7, 300), OB_SUCCESS);
    EXPECT_EQ(session.SetInterval(7, 301), OB_INVALID_PARAMETER);
    EXPECT_EQ(session.Interval(), 300u);
    EXPECT_EQ(session.Close(8), OB_FAILED);
    EXPECT_EQ(session.OwnerHandle(), 7u);
    ASSERT_EQ(session.Close(7), OB_SUCCESS);
    EXPECT_EQ(session.Close(7), OB_FAILED);
    // Every open starts at 200 again.
    ASSERT_EQ(session.Open(OwnerOf(8, window, driver), {&shared.section, kName}, Open), OB_SUCCESS);
    EXPECT_EQ(session.Interval(), 200u);
    ASSERT_EQ(session.Close(8), OB_SUCCESS);

    // Held by another copy of the library: in use, nothing taken.
    ASSERT_EQ(shared.section.Claim(kName, DeviceFlag::CommonInterface), ClaimResult::Claimed);
    EXPECT_EQ(session.Open(OwnerOf(7, window, driver), {&shared.section, kName}, Open), OB_IN_USE);
    EXPECT_EQ(session.OwnerHandle(), 0u);
    EXPECT_EQ(shared.Flag(), 1);
    shared.section.Release(kName, DeviceFlag::CommonInterface);

    // No shared entry for the name: opened without a mark, and the close clears nobody's flag.
    const std::string unlisted = "@device:sw:{...}\\unlisted-session-test";
    ASSERT_EQ(session.Open(OwnerOf(7, window, driver), {&shared.section, unlisted}, Open), OB_SUCCESS);
    shared.section.Register(unlisted);
    ASSERT_EQ(shared.section.Claim(unlisted, DeviceFlag::CommonInterface), ClaimResult::Claimed);
    ASSERT_EQ(session.Close(7), OB_SUCCESS);
    const int index = FindSharedEntry(*shared.section.Table(), unlisted);
    ASSERT_GE(index, 0);
    EXPECT_EQ(shared.section.Table()->entries[index].ciInUse, 1);
    shared.section.Release(unlisted, DeviceFlag::CommonInterface);
}

TEST(CiSession, AnOpenThatCannotStartItsThreadLeavesNothing) {
    Shared shared;
    ScriptedDriver driver({});
    std::atomic<HWND> window{nullptr};
    const DWORD handlesBefore = HandleCount();
    {
        CiSession noEvent(CiSession::System{&NoEvent, &NoThread});
        EXPECT_EQ(noEvent.Open(OwnerOf(7, window, driver), {&shared.section, kName}, Open), OB_FAILED);
        EXPECT_EQ(noEvent.OwnerHandle(), 0u);
        EXPECT_EQ(shared.Flag(), 0);
        CiSession noThread(CiSession::System{&RealEvent, &NoThread});
        EXPECT_EQ(noThread.Open(OwnerOf(7, window, driver), {&shared.section, kName}, Open), OB_FAILED);
        EXPECT_EQ(noThread.OwnerHandle(), 0u);
        EXPECT_EQ(shared.Flag(), 0);
        EXPECT_EQ(HandleCount(), handlesBefore);  // the event was closed again
        EXPECT_EQ(noThread.Close(7), OB_FAILED);
        EXPECT_EQ(driver.References(), 1u);
    }
    // The device is free for a session that can start.
    CiSession session;
    EXPECT_EQ(session.Open(OwnerOf(9, window, driver), {&shared.section, kName}, Open), OB_SUCCESS);
    EXPECT_EQ(shared.Flag(), 1);
    EXPECT_EQ(session.Close(9), OB_SUCCESS);
    EXPECT_EQ(shared.Flag(), 0);
}
