#include "MediaTypes.h"

#include <cstring>

namespace ombrel::stream {

bool IsTransportStream(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, kMajorStream) &&
           (IsEqualGUID(type.subtype, kSubtypeBdaTransport) || IsEqualGUID(type.subtype, kSubtypeMpeg2Transport) ||
            IsEqualGUID(type.subtype, GUID_NULL));
}

bool OfferedType(unsigned index, AM_MEDIA_TYPE& type) {
    static const GUID* const subtypes[] = {&kSubtypeBdaTransport, &kSubtypeMpeg2Transport};
    if (index >= sizeof subtypes / sizeof subtypes[0]) return false;
    type = AM_MEDIA_TYPE{};
    type.majortype = kMajorStream;
    type.subtype = *subtypes[index];
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = 1;
    type.formattype = GUID_NULL;
    return true;
}

HRESULT MediaType::Assign(const AM_MEDIA_TYPE& from) {
    Clear();
    const HRESULT hr = CopyTo(from, type_);
    if (FAILED(hr)) type_ = AM_MEDIA_TYPE{};
    return hr;
}

void MediaType::Clear() {
    FreeContents(type_);
    type_ = AM_MEDIA_TYPE{};
}

HRESULT MediaType::CopyTo(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to) {
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

void MediaType::FreeContents(AM_MEDIA_TYPE& type) {
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) type.pUnk->Release();
    type.pUnk = nullptr;
}

void MediaType::Delete(AM_MEDIA_TYPE* type) {
    if (!type) return;
    FreeContents(*type);
    CoTaskMemFree(type);
}

}  // namespace ombrel::stream
