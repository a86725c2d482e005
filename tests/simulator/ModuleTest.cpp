// The filter DLL's in-process server entry points, called directly, and a device-change
// broadcast that must get past a window that does not answer.
#include <gtest/gtest.h>

#include <strmif.h>

#include <atomic>
#include <thread>

#include "DeviceChangeWindow.h"
#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

// {6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}: the filter class the registry keys name.
constexpr CLSID kFilterClass = {
    0x6C1F3A52, 0x8E47, 0x4B1D, {0x9A, 0x35, 0x2D, 0x7E, 0x0B, 0x94, 0xC6, 0x18}};

std::wstring RegisteredServer() {
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT,
                     L"CLSID\\{6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}\\InprocServer32", nullptr,
                     RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return {};
    return path;
}

class Module : public ::testing::Test {
protected:
    void SetUp() override {
        dll_ = LoadLibraryW(L"TalvexSimFilter.dll");
        ASSERT_NE(dll_, nullptr);
        getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllGetClassObject")));
        canUnload_ = reinterpret_cast<decltype(canUnload_)>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllCanUnloadNow")));
        register_ = reinterpret_cast<decltype(register_)>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllRegisterServer")));
        unregister_ = reinterpret_cast<decltype(unregister_)>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllUnregisterServer")));
        liveObjects_ = reinterpret_cast<decltype(liveObjects_)>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "TalvexSimLiveObjects")));
        ASSERT_TRUE(getClassObject_ && canUnload_ && register_ && unregister_ && liveObjects_);
    }
    void TearDown() override {
        tunersim::EnsureFilterRegistered();
        if (dll_) FreeLibrary(dll_);
    }

    ComApartment com_;
    HMODULE dll_ = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnload_)() = nullptr;
    HRESULT(STDAPICALLTYPE* register_)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregister_)() = nullptr;
    LONG(WINAPI* liveObjects_)() = nullptr;
};

TEST_F(Module, ClassObjectCreatesFiltersAndTheDllStaysWhileTheyLive) {
    ComPtr<IClassFactory> factory;
    const CLSID other = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(getClassObject_(other, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf())),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject_(kFilterClass, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
    EXPECT_EQ(canUnload_(), S_OK);
    const LONG before = liveObjects_();

    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter,
                                      reinterpret_cast<void**>(filter.GetAddressOf())),
              S_OK);
    EXPECT_EQ(canUnload_(), S_FALSE);
    EXPECT_EQ(liveObjects_(), before + 1);  // what the stress runs count
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(filter.Get(), IID_IUnknown,
                                      reinterpret_cast<void**>(aggregated.GetAddressOf())),
              CLASS_E_NOAGGREGATION);

    // Created without its registry key it stands for no box and answers nothing.
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(filter.As(&properties), S_OK);
    EXPECT_TRUE(FAILED(GetProperty(properties.Get(), 11, 8).hr));

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    filter.Reset();
    properties.Reset();
    EXPECT_EQ(liveObjects_(), before);
    EXPECT_EQ(canUnload_(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(Module, SelfRegistrationWritesAndRemovesTheClass) {
    EXPECT_EQ(unregister_(), S_OK);
    EXPECT_EQ(RegisteredServer(), L"");
    EXPECT_EQ(register_(), S_OK);
    const std::wstring server = RegisteredServer();
    ASSERT_GT(server.size(), 20u);
    EXPECT_EQ(_wcsicmp(server.substr(server.size() - 20).c_str(), L"\\TalvexSimFilter.dll"), 0)
        << server;
    EXPECT_NE(GetFileAttributesW(server.c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t model[32] = {};
    DWORD size = sizeof model - sizeof(wchar_t);
    EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT,
                           L"CLSID\\{6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}\\InprocServer32",
                           L"ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(model, L"Both");

    // Without the class the enumerator still lists a plugged box, but nothing binds;
    // the control library registers it again on the next plug.
    tunersim::Reset(false);
    auto profile = tunersim::Preset("talvex-s2");
    profile.id = "0000000000000d71";
    tunersim::Plug(profile, false);
    const std::string name = tunersim::Find(profile.id)->displayNames[0];
    EXPECT_EQ(unregister_(), S_OK);
    EXPECT_EQ(BindFilter(kWdmCategory, name).Get(), nullptr);
    tunersim::EnsureFilterRegistered();
    EXPECT_TRUE(BindFilter(kWdmCategory, name));
    tunersim::Reset(false);
}

// A top-level window whose thread stops pumping messages until released.
class StuckWindow {
public:
    StuckWindow() {
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] {
            WNDCLASSW cls{};
            cls.lpfnWndProc = DefWindowProcW;
            cls.hInstance = GetModuleHandleW(nullptr);
            cls.lpszClassName = L"TunerSimTestStuck";
            RegisterClassW(&cls);
            HWND window = CreateWindowExW(0, cls.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10,
                                          10, nullptr, nullptr, cls.hInstance, nullptr);
            window_ = window;
            WaitForSingleObject(release_, 60000);
            if (window) DestroyWindow(window);
        });
        for (int i = 0; i < 500 && !window_; ++i) Sleep(10);
    }
    StuckWindow(const StuckWindow&) = delete;
    StuckWindow& operator=(const StuckWindow&) = delete;
    ~StuckWindow() {
        SetEvent(release_);
        thread_.join();
        CloseHandle(release_);
    }
    bool Ready() const { return window_ != nullptr; }

private:
    HANDLE release_ = nullptr;
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

TEST(Broadcast, ReachesEveryWindowPastOneThatDoesNotAnswer) {
    tunersim::Reset(false);
    StuckWindow stuck;
    ASSERT_TRUE(stuck.Ready());
    DeviceChangeWindow listener;
    ASSERT_TRUE(listener.Ready());
    auto profile = tunersim::Preset("pellary");
    profile.id = "0000000000000d72";
    tunersim::Plug(profile, true);
    tunersim::Unplug(profile.id, true);
    EXPECT_TRUE(listener.WaitFor(2));
    tunersim::Reset(false);
}

}  // namespace
