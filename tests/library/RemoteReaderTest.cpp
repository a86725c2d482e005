// The reader thread and the property channel against a driver of the test's own making: the
// buffers the channel passes, and a stop on a driver that forgets a cancel that comes before
// the read (the other way a driver may be): bounded, and the late read posts nothing and
// gives its references back.
#include <gtest/gtest.h>

#include "PropertyChannel.h"
#include "RemoteReader.h"
#include "StackPropertySet.h"

#include <OmbrelApi.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using namespace ombrel;

namespace {

// Get 26 waits for a key or for a cancel that comes while it waits; a cancel that comes
// with no read waiting is forgotten. While the gate is shut, a get stops before it reaches
// the driver, as a thread does between its stop check and the driver.
class Driver : public libtest::StackPropertySet {
public:
    struct Call {
        DWORD id;
        void* instance;
        DWORD instanceLength;
        void* data;
        DWORD length;
    };

    STDMETHODIMP Set(REFGUID, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD length) override {
        std::lock_guard guard(lock_);
        sets.push_back({id, instance, instanceLength, data, length});
        if (id == OMBREL_PROP_REMOTE_CANCEL && waiting_ > 0) {
            ++cancelGeneration_;
            changed_.notify_all();
        }
        return S_OK;
    }
    STDMETHODIMP Get(REFGUID, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD length,
                     DWORD* returned) override {
        std::unique_lock guard(lock_);
        gets.push_back({id, instance, instanceLength, data, length});
        changed_.notify_all();
        changed_.wait(guard, [&] { return gateOpen_; });
        ++waiting_;
        const unsigned generation = cancelGeneration_;
        changed_.wait(guard, [&] { return !keys_.empty() || cancelGeneration_ != generation; });
        --waiting_;
        if (keys_.empty()) return HRESULT_FROM_WIN32(ERROR_OPERATION_ABORTED);
        auto* bytes = static_cast<unsigned char*>(data);
        bytes[0] = static_cast<unsigned char>(keys_.front() >> 8);
        bytes[1] = static_cast<unsigned char>(keys_.front() & 0xFF);
        keys_.pop_front();
        *returned = 2;
        return S_OK;
    }
    void Press(uint16_t key) {
        std::lock_guard guard(lock_);
        keys_.push_back(key);
        changed_.notify_all();
    }
    void Gate(bool open) {
        std::lock_guard guard(lock_);
        gateOpen_ = open;
        changed_.notify_all();
    }
    bool WaitForGets(size_t n) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(20), [&] { return gets.size() >= n; });
    }
    size_t Sets() {
        std::lock_guard guard(lock_);
        return sets.size();
    }

    std::vector<Call> sets, gets;

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<uint16_t> keys_;
    bool gateOpen_ = true;
    int waiting_ = 0;
    unsigned cancelGeneration_ = 0;
};

// A message-only window that counts the keys posted to it.
class KeyWindow {
public:
    KeyWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OmbrelReaderTestWindow";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~KeyWindow() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    static std::vector<std::pair<WPARAM, LPARAM>>& Keys() {
        static std::vector<std::pair<WPARAM, LPARAM>> keys;
        return keys;
    }
    static bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (done()) return true;
            if (GetTickCount64() >= deadline) return false;
            Sleep(5);
        }
    }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == OMBREL_MSG_REMOTE_KEY) {
            Keys().emplace_back(wp, lp);
            return 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND hwnd_;
};

}  // namespace

TEST(PropertyChannel, AZeroLengthSetPassesNoBuffersAndOtherRequestsAnInstanceOfTheirLength) {
    Driver driver;
    unsigned char stray = 0x55;
    EXPECT_EQ(SetProperty(&driver, OMBREL_PROP_REMOTE_CANCEL, nullptr, 0), OB_SUCCESS);
    EXPECT_EQ(SetProperty(&driver, OMBREL_PROP_REMOTE_CANCEL, &stray, 0), OB_SUCCESS);
    ASSERT_EQ(driver.sets.size(), 2u);
    for (const Driver::Call& call : driver.sets) {
        EXPECT_EQ(call.id, static_cast<DWORD>(OMBREL_PROP_REMOTE_CANCEL));
        EXPECT_EQ(call.instance, nullptr);
        EXPECT_EQ(call.instanceLength, 0u);
        EXPECT_EQ(call.data, nullptr);
        EXPECT_EQ(call.length, 0u);
    }
    driver.Press(0x1234);
    unsigned char code[2] = {};
    EXPECT_EQ(GetProperty(&driver, OMBREL_PROP_REMOTE_KEY, code, sizeof code), OB_SUCCESS);
    ASSERT_EQ(driver.gets.size(), 1u);
    EXPECT_NE(driver.gets[0].instance, nullptr);
    EXPECT_NE(driver.gets[0].instance, static_cast<void*>(code));
    EXPECT_EQ(driver.gets[0].instanceLength, 2u);
    EXPECT_EQ(driver.gets[0].data, static_cast<void*>(code));
    EXPECT_EQ(driver.gets[0].length, 2u);
    EXPECT_EQ(code[0], 0x12);
    EXPECT_EQ(code[1], 0x34);
}

TEST(RemoteReader, AStopOnADriverThatForgetsAnEarlyCancelIsBoundedAndTheLateReadPostsNothing) {
    Driver driver;
    KeyWindow window;
    KeyWindow::Keys().clear();
    {
        auto reader = RemoteReader::Start(ComPtr<IKsPropertySet>(&driver), 0x77, window.hwnd());
        ASSERT_TRUE(reader);
        // The next read is held before the driver until the stop's cancel has come and gone.
        ASSERT_TRUE(driver.WaitForGets(1));
        driver.Gate(false);
        driver.Press(0x2015);
        ASSERT_TRUE(KeyWindow::PumpUntil([] { return KeyWindow::Keys().size() == 1; }));
        EXPECT_EQ(KeyWindow::Keys()[0], (std::pair<WPARAM, LPARAM>{0x77, 0x2015}));
        ASSERT_TRUE(driver.WaitForGets(2));
        reader->RequestStop();
        std::thread opener([&] {
            while (driver.Sets() == 0) Sleep(5);
            driver.Gate(true);
        });
        const ULONGLONG started = GetTickCount64();
        EXPECT_FALSE(reader->Finish(started + RemoteReader::kStopBoundMs, RemoteReader::Ending::Release));
        EXPECT_GE(GetTickCount64() - started, RemoteReader::kStopBoundMs - 100);
        opener.join();
        EXPECT_EQ(driver.Sets(), 1u);
    }
    // Only the abandoned thread holds the driver now. Its read returns with the next key:
    // it posts nothing, gives the interface back and ends.
    driver.Press(0x2016);
    EXPECT_TRUE(KeyWindow::PumpUntil([&] { return driver.References() == 1; }));
    KeyWindow::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(KeyWindow::Keys().size(), 1u);
}

TEST(RemoteReader, AReadUnderWayThatFindsAKeyNeedsNoCancelAndAWaitingOneGetsOne) {
    Driver driver;
    KeyWindow window;
    KeyWindow::Keys().clear();
    auto reader = RemoteReader::Start(ComPtr<IKsPropertySet>(&driver), 0x78, window.hwnd());
    ASSERT_TRUE(reader);
    ASSERT_TRUE(driver.WaitForGets(1));
    driver.Gate(false);
    driver.Press(0x2001);
    ASSERT_TRUE(driver.WaitForGets(2));
    // The next read finds its key at once: dropped, as the stop came first, and no cancel
    // was needed.
    driver.Press(0x2002);
    reader->RequestStop();
    driver.Gate(true);
    EXPECT_TRUE(reader->Finish(GetTickCount64() + RemoteReader::kStopBoundMs, RemoteReader::Ending::Release));
    EXPECT_EQ(driver.Sets(), 0u);
    KeyWindow::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(KeyWindow::Keys().size(), 1u);  // 0x2001 came before the stop
    reader.reset();
    EXPECT_EQ(driver.References(), 1u);

    // Waiting in the driver with no key: the stop cancels it, once.
    reader = RemoteReader::Start(ComPtr<IKsPropertySet>(&driver), 0x78, window.hwnd());
    ASSERT_TRUE(driver.WaitForGets(3));
    reader->RequestStop();
    EXPECT_TRUE(reader->Finish(GetTickCount64() + RemoteReader::kStopBoundMs, RemoteReader::Ending::Release));
    ASSERT_EQ(driver.Sets(), 1u);
    EXPECT_EQ(driver.sets[0].data, nullptr);
    reader.reset();
    EXPECT_EQ(driver.References(), 1u);
}
