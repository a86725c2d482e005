// Start-up of the real library: before and after OB_Initialize, the hidden window,
// the first scan, and table order. The cases run in the order written.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "ProcessProbe.h"

#include <objbase.h>

#include <cstring>
#include <thread>

using namespace libtest;

namespace {

const std::string kWdmId = "0012345678abcdef";
const std::string kBdaId = "00000000cafe0001";

}  // namespace

TEST(BeforeInitialize, TableIsEmptyAndHandlesUnknown) {
    tunersim::Reset(false);
    // Plugged before start-up: the first scan of OB_Initialize must find them.
    tunersim::Plug(Wdm(kWdmId, 3), false);
    tunersim::Plug(Bda(kBdaId, 1), false);

    EXPECT_STREQ(OB_GetApiVersion(), "1.10.2");
    EXPECT_EQ(DeviceCount(), 0u);
    EXPECT_EQ(WdmCount(), 0u);
    EXPECT_EQ(BdaCount(), 0u);
    unsigned long handle = 77;
    EXPECT_EQ(OB_OpenDeviceHandle(0, &handle), OB_FAILED);
    EXPECT_EQ(OB_OpenWDMDeviceHandle(0, &handle), OB_FAILED);
    EXPECT_EQ(OB_OpenBDADeviceHandle(0, &handle), OB_FAILED);
    EXPECT_EQ(handle, 77u);
    EXPECT_EQ(OB_CloseDeviceHandle(0), OB_INVALID_HANDLE);
    EXPECT_EQ(OB_CloseDeviceHandle(1), OB_INVALID_HANDLE);
    EXPECT_EQ(HiddenWindowOfThisProcess(), nullptr);
}

TEST(Initialize, StartsOneWindowThreadAndScans) {
    const int threadsBefore = ThreadsOfThisProcess();
    ASSERT_EQ(OB_Initialize(), OB_SUCCESS);
    const int threadsAfter = ThreadsOfThisProcess();
    EXPECT_GE(threadsAfter, threadsBefore + 1);
    EXPECT_EQ(DeviceCount(), 2u);
    EXPECT_EQ(WdmCount(), 1u);
    EXPECT_EQ(BdaCount(), 1u);

    EXPECT_EQ(OB_Initialize(), OB_SUCCESS);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsAfter);
    EXPECT_EQ(DeviceCount(), 2u);
    EXPECT_STREQ(OB_GetApiVersion(), "1.10.2");
}

TEST(Initialize, HiddenWindowIsAsTabled) {
    HWND w = HiddenWindowOfThisProcess();
    ASSERT_NE(w, nullptr);
    wchar_t text[64] = {};
    GetWindowTextW(w, text, 64);
    EXPECT_STREQ(text, L"Ombrel_Api");
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(GetParent(w), nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)) & 0x02CF0000u, 0x02CF0000u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE)) & 0x110u, 0x110u);
    EXPECT_EQ(GetClassLongPtrW(w, GCL_STYLE), 0x6008);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(w, GWLP_HINSTANCE)), GetModuleHandleW(nullptr));
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 200);
    DWORD pid = 0;
    EXPECT_NE(GetWindowThreadProcessId(w, &pid), GetCurrentThreadId());

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Ombrel_Api", &wc));
    ASSERT_NE(wc.lpszMenuName, nullptr);
    EXPECT_STREQ(wc.lpszMenuName, L"AppMenu");
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
}

TEST(TableOrder, WdmBeforeBdaAndFamilyIndexes) {
    unsigned long first = 0, bda = 0, wdm = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(0, &first), OB_SUCCESS);
    ASSERT_EQ(OB_OpenBDADeviceHandle(0, &bda), OB_SUCCESS);
    ASSERT_EQ(OB_OpenWDMDeviceHandle(0, &wdm), OB_SUCCESS);
    EXPECT_EQ(DisplayStringOf(first), SimDisplayName(kWdmId, 0));
    EXPECT_EQ(DisplayStringOf(wdm), SimDisplayName(kWdmId, 0));
    EXPECT_EQ(DisplayStringOf(bda), SimDisplayName(kBdaId, 1));
    EXPECT_NE(first, wdm);

    unsigned long second = 0;
    ASSERT_EQ(OB_OpenDeviceHandle(1, &second), OB_SUCCESS);
    EXPECT_EQ(DisplayStringOf(second), SimDisplayName(kBdaId, 1));

    unsigned long untouched = 99;
    EXPECT_EQ(OB_OpenDeviceHandle(2, &untouched), OB_FAILED);  // index == count
    EXPECT_EQ(OB_OpenWDMDeviceHandle(1, &untouched), OB_FAILED);
    EXPECT_EQ(OB_OpenBDADeviceHandle(1, &untouched), OB_FAILED);
    EXPECT_EQ(untouched, 99u);

    for (unsigned long h : {first, bda, wdm, second}) EXPECT_EQ(OB_CloseDeviceHandle(h), OB_SUCCESS);
}

TEST(TableOrder, OpenWithoutComFindsNothing) {
    unsigned long handle = 55;
    unsigned long result = 0;
    std::thread worker([&] { result = OB_OpenDeviceHandle(0, &handle); });  // no CoInitialize
    worker.join();
    EXPECT_EQ(result, OB_FAILED);
    EXPECT_EQ(handle, 0u);
}

TEST(Cleanup, ResetSimulator) {
    tunersim::Reset(true);
    EXPECT_TRUE(PumpUntil([] { return DeviceCount() == 0; }));
}
