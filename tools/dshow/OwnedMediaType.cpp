#include "OwnedMediaType.h"

#include <cstring>
#include <new>

namespace dshow {

HRESULT CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to) {
    to = from;
    to.pbFormat = nullptr;
    to.cbFormat = 0;
    if (from.cbFormat && from.pbFormat) {
        to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (!to.pbFormat) {
            to.pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
        to.cbFormat = from.cbFormat;
    }
    if (to.pUnk) to.pUnk->AddRef();
    return S_OK;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE& type) {
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) type.pUnk->Release();
    type.pUnk = nullptr;
}

void TaskMediaTypeFree::operator()(AM_MEDIA_TYPE* type) const {
    FreeMediaTypeContents(*type);
    CoTaskMemFree(type);
}

MediaType::MediaType(const AM_MEDIA_TYPE& type) {
    if (FAILED(CopyMediaType(type, type_))) throw std::bad_alloc();
}

MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other) {
        AM_MEDIA_TYPE copy{};
        if (FAILED(CopyMediaType(other.type_, copy))) throw std::bad_alloc();
        Clear();
        type_ = copy;
    }
    return *this;
}

HRESULT MediaType::Assign(const AM_MEDIA_TYPE& from) {
    AM_MEDIA_TYPE copy{};
    const HRESULT hr = CopyMediaType(from, copy);
    Clear();
    if (SUCCEEDED(hr)) type_ = copy;
    return hr;
}

void MediaType::Clear() {
    FreeMediaTypeContents(type_);
    type_ = AM_MEDIA_TYPE{};
}

TaskMediaType MediaType::NewTaskCopy() const {
    auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!record) return nullptr;
    if (FAILED(CopyMediaType(type_, *record))) {
        CoTaskMemFree(record);
        return nullptr;
    }
    return TaskMediaType(record);
}

}  // namespace dshow
