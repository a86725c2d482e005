// In-process server entry points of the simulator's filter DLL.
#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <new>

#include "FilterClass.h"
#include "Registration.h"
#include "SimFilter.h"

namespace tunersim {

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_serverLocks{0};

class ClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object: its life is the DLL's.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        SimFilter* filter = new (std::nothrow) SimFilter();
        if (!filter) return E_OUTOFMEMORY;
        const HRESULT hr = filter->QueryInterface(riid, object);
        filter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            ++g_serverLocks;
        } else {
            --g_serverLocks;
        }
        return S_OK;
    }
};

ClassFactory g_factory;

}  // namespace

}  // namespace tunersim

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        tunersim::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != tunersim::kFilterClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return tunersim::g_factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
    return tunersim::LiveObjects() == 0 && tunersim::g_serverLocks == 0 ? S_OK : S_FALSE;
}

// The filter objects alive in this process, for stress runs that check that they all
// go away again.
extern "C" LONG WINAPI TalvexSimLiveObjects() { return tunersim::LiveObjects(); }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(tunersim::g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    try {
        tunersim::RegisterFilterClass(std::wstring(path, n));
    } catch (...) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    try {
        tunersim::UnregisterFilterClass();
    } catch (...) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}
