// The COM part of a driver stand-in that a white-box test keeps on its stack: it counts
// its references and is never freed by them, so that a test can see that the library
// gave back every reference it took. Subclasses answer Set and Get.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>

namespace libtest {

class StackPropertySet : public IKsPropertySet {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown && riid != IID_IKsPropertySet) return E_NOINTERFACE;
        *object = static_cast<IKsPropertySet*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; }
    STDMETHODIMP QuerySupported(REFGUID, DWORD, DWORD*) override { return E_NOTIMPL; }

    // 1 while nobody but the test holds it.
    ULONG References() const { return references_.load(); }

protected:
    StackPropertySet() = default;
    ~StackPropertySet() = default;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace libtest
