#include "ComEnumerators.h"

#include <new>

namespace dshow {
namespace {

using Microsoft::WRL::ComPtr;

// What both enumerators share: the items, the position and the reference count.
// Item: what is held; Out: what Next hands out; Interface: the enumerator interface.
template <typename Interface, typename Item, typename Out>
class Enumerator final : public Interface {
public:
    Enumerator(std::vector<Item> items, std::size_t position, std::atomic<long>* liveObjects)
        : items_(std::move(items)), position_(position), liveObjects_(liveObjects) {
        if (liveObjects_) ++*liveObjects_;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        if (count > 1 && !fetched) return E_INVALIDARG;
        ULONG n = 0;
        while (n < count && position_ < items_.size()) {
            out[n] = Hand(items_[position_]);
            if (!out[n]) {
                // Out of memory: give back what was handed out in this call.
                while (n > 0) Free(out[--n]);
                if (fetched) *fetched = 0;
                return E_OUTOFMEMORY;
            }
            ++n;
            ++position_;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        if (count > items_.size() - position_) {
            position_ = items_.size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            *out = new Enumerator(items_, position_, liveObjects_);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    ~Enumerator() {
        if (liveObjects_) --*liveObjects_;
    }

    static IPin* Hand(const ComPtr<IPin>& pin) {
        pin->AddRef();
        return pin.Get();
    }
    static AM_MEDIA_TYPE* Hand(const MediaType& type) { return type.NewTaskCopy().release(); }
    static void Free(IPin* pin) { pin->Release(); }
    static void Free(AM_MEDIA_TYPE* type) { TaskMediaTypeFree()(type); }

    std::atomic<ULONG> references_{1};
    std::vector<Item> items_;
    std::size_t position_;
    std::atomic<long>* liveObjects_;
};

template <typename Interface, typename Item, typename Out>
HRESULT Make(std::vector<Item> items, Interface** out, std::atomic<long>* liveObjects) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        *out = new Enumerator<Interface, Item, Out>(std::move(items), 0, liveObjects);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace

HRESULT MakePinEnumerator(std::vector<ComPtr<IPin>> pins, IEnumPins** out, std::atomic<long>* liveObjects) {
    return Make<IEnumPins, ComPtr<IPin>, IPin*>(std::move(pins), out, liveObjects);
}

HRESULT MakeMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out,
                                std::atomic<long>* liveObjects) {
    return Make<IEnumMediaTypes, MediaType, AM_MEDIA_TYPE*>(std::move(types), out, liveObjects);
}

}  // namespace dshow
