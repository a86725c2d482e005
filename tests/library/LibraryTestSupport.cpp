#include <gtest/gtest.h>

#include "LibraryTestSupport.h"

#include <objbase.h>

#include <algorithm>

namespace libtest {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)),
                                  QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

unsigned long DeviceCount() {
    unsigned long n = 12345;
    EXPECT_EQ(OB_GetNumberOfDevices(&n), OB_SUCCESS);
    return n;
}
unsigned long WdmCount() {
    unsigned long n = 12345;
    EXPECT_EQ(OB_GetNumberOfWDMDevices(&n), OB_SUCCESS);
    return n;
}
unsigned long BdaCount() {
    unsigned long n = 12345;
    EXPECT_EQ(OB_GetNumberOfBDADevices(&n), OB_SUCCESS);
    return n;
}

tunersim::DeviceProfile Wdm(const std::string& id, int subunit) {
    tunersim::DeviceProfile box;
    box.id = id;
    box.subunit = subunit;
    box.models = tunersim::kWdm;
    return box;
}

tunersim::DeviceProfile Bda(const std::string& id, int subunit) {
    tunersim::DeviceProfile box = Wdm(id, subunit);
    box.models = tunersim::kBda;
    return box;
}

std::string SimDisplayName(const std::string& id, int role) {
    auto info = tunersim::Find(id);
    if (!info) return {};
    const char* categories[] = {"{860BB310-5D01-11D0-BD3B-00A0C911CE86}", "{71985F48-1CA1-11D3-9CC8-00C04F7971E0}",
                                "{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}"};
    for (const std::string& name : info->displayNames) {
        if (name.find(categories[role]) != std::string::npos) return name;
    }
    return {};
}

std::string DisplayStringOf(unsigned long handle) {
    char buffer[OMBREL_DISPLAY_STRING_SIZE] = {};
    if (OB_GetDisplayString(handle, buffer) != OB_SUCCESS) return {};
    return buffer;
}

std::string GuidStringOf(unsigned long handle) {
    char buffer[OMBREL_GUID_STRING_SIZE] = {};
    if (OB_GetGUIDString(handle, buffer) != OB_SUCCESS) return {};
    return buffer;
}

unsigned long OpenByDisplayName(const std::string& name) {
    const unsigned long count = DeviceCount();
    for (unsigned long i = 0; i < count; ++i) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(i, &handle) != OB_SUCCESS) continue;
        if (DisplayStringOf(handle) == name) return handle;
        OB_CloseDeviceHandle(handle);
    }
    return 0;
}

namespace {
constexpr wchar_t kSinkClass[] = L"OmbrelLibraryTestSink";
}

MessageSink::MessageSink() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &MessageSink::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kSinkClass;
    RegisterClassW(&wc);  // once per process; later calls fail harmlessly
    hwnd_ = CreateWindowExW(0, kSinkClass, L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) {
        ADD_FAILURE() << "no message sink window, error " << GetLastError();
        return;
    }
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageSink::~MessageSink() {
    if (hwnd_) DestroyWindow(hwnd_);
}

int MessageSink::CountOf(UINT message) const {
    int n = 0;
    for (const Received& r : log_) n += r.message == message;
    return n;
}

LRESULT CALLBACK MessageSink::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageSink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message >= OMBREL_MSG_ATTACHED && message <= OMBREL_MSG_REMOTE_KEY) {
        Received r{message, wParam, lParam};
        self->log_.push_back(r);
        if (self->onMessage) self->onMessage(r);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void SimTest::SetUp() {
    // The library starts once per process; later calls return at once.
    CoInitialize(nullptr);
    ASSERT_EQ(OB_Initialize(), OB_SUCCESS);
    tunersim::Reset(true);
    PumpFor(50);
}

void SimTest::TearDown() {
    tunersim::Reset(true);
    PumpFor(50);
}

void CiBoxTest::SetUp() {
    SimTest::SetUp();
    tunersim::DeviceProfile box = tunersim::Preset(preset_);
    box.id = id_;
    tunersim::Plug(box);
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 1; }));
    name_ = SimDisplayName(id_, 0);
    handle_ = OpenByDisplayName(name_);
    ASSERT_NE(handle_, 0u);
}

void CiBoxTest::TearDown() {
    OB_CI_Close(handle_);
    OB_CloseDeviceHandle(handle_);
    SimTest::TearDown();
}

}  // namespace libtest
