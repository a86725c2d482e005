#include "Enumerators.h"

#include <new>

#include "MediaTypes.h"

namespace ombrel::stream {
namespace {

ULONG OfferedCount() {
    ULONG n = 0;
    AM_MEDIA_TYPE type;
    while (OfferedType(n, type)) ++n;
    return n;
}

}  // namespace

// --- SinglePinEnumerator ----------------------------------------------------------

HRESULT SinglePinEnumerator::Create(IPin* pin, ULONG position, IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) SinglePinEnumerator(pin, position);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SinglePinEnumerator::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumPins)) {
        *object = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) SinglePinEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) SinglePinEnumerator::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP SinglePinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (!pins || (count > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    if (count > 0 && position_ == 0) {
        pins[0] = pin_.Get();
        pins[0]->AddRef();
        position_ = 1;
        given = 1;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP SinglePinEnumerator::Skip(ULONG count) {
    const ULONG left = 1 - position_;
    position_ = count >= left ? 1 : position_ + count;
    return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP SinglePinEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP SinglePinEnumerator::Clone(IEnumPins** out) { return Create(pin_.Get(), position_, out); }

// --- OfferedTypeEnumerator --------------------------------------------------------

HRESULT OfferedTypeEnumerator::Create(ULONG position, IEnumMediaTypes** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) OfferedTypeEnumerator(position);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OfferedTypeEnumerator::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumMediaTypes)) {
        *object = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) OfferedTypeEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) OfferedTypeEnumerator::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP OfferedTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types || (count > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    AM_MEDIA_TYPE type;
    while (given < count && OfferedType(position_, type)) {
        // Handed out by pointer: the caller frees the record with CoTaskMemFree.
        auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!copy) break;
        *copy = type;
        types[given++] = copy;
        ++position_;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP OfferedTypeEnumerator::Skip(ULONG count) {
    const ULONG total = OfferedCount();
    const ULONG left = total - position_;
    position_ = count >= left ? total : position_ + count;
    return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP OfferedTypeEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP OfferedTypeEnumerator::Clone(IEnumMediaTypes** out) { return Create(position_, out); }

}  // namespace ombrel::stream
