// Helpers for tests that drive the real OmbrelApi.dll with the tuner simulator.
#pragma once

#include <windows.h>
#include <OmbrelApi.h>
#include <TunerSimControl.h>

#include "SharedFlags.h"

#include <functional>
#include <string>
#include <vector>

namespace libtest {

using testsupport::SharedFlags;

// Pumps this thread's messages until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Pumps for a while regardless (to show that nothing arrives).
void PumpFor(DWORD ms);

unsigned long DeviceCount();
unsigned long WdmCount();
unsigned long BdaCount();

// A box in the WDM or the BDA driver model with a fixed id (16 hex digits).
tunersim::DeviceProfile Wdm(const std::string& id, int subunit = 0);
tunersim::DeviceProfile Bda(const std::string& id, int subunit = 0);

// The display name the simulator gives the box in a category (0 WDM, 1 tuner, 2 receiver).
std::string SimDisplayName(const std::string& id, int role);

// Opens the attached device whose display string is `name`; 0 if none.
unsigned long OpenByDisplayName(const std::string& name);
std::string DisplayStringOf(unsigned long handle);
std::string GuidStringOf(unsigned long handle);

// A hidden window that records what it receives.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
class MessageSink {
public:
    MessageSink();
    ~MessageSink();
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    HWND hwnd() const { return hwnd_; }
    const std::vector<Received>& log() const { return log_; }
    int CountOf(UINT message) const;
    void Clear() { log_.clear(); }
    // Called inside the window procedure for every message of the library (0x401..0x40A).
    std::function<void(const Received&)> onMessage;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::vector<Received> log_;
};

// Starts the library (once per process) and resets the simulator at the start and
// end of every test.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// One simulated box of a preset with a CI slot, plugged and opened through the library;
// the handle's session and the handle are closed after each test.
class CiBoxTest : public SimTest {
protected:
    CiBoxTest(std::string preset, std::string id) : preset_(std::move(preset)), id_(std::move(id)) {}
    void SetUp() override;
    void TearDown() override;

    std::string name_;  // the box's display name (WDM)
    unsigned long handle_ = 0;

private:
    std::string preset_;
    std::string id_;
};

}  // namespace libtest
