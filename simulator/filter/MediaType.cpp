#include "MediaType.h"

#include <cstring>
#include <new>

#include "StreamFormat.h"

namespace tunersim {
namespace {

// Copies `from` into `to` (which holds nothing); false when the format block cannot be.
bool CopyType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to) {
    to = from;
    to.pbFormat = nullptr;
    to.cbFormat = 0;
    if (from.cbFormat && from.pbFormat) {
        to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (!to.pbFormat) {
            to.pUnk = nullptr;
            return false;
        }
        std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
        to.cbFormat = from.cbFormat;
    }
    if (to.pUnk) to.pUnk->AddRef();
    return true;
}

MediaType StreamType(const GUID& subtype) {
    AM_MEDIA_TYPE type{};
    type.majortype = kMediaTypeStream;
    type.subtype = subtype;
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = 0;
    type.formattype = kFormatNone;
    return MediaType(type);
}

}  // namespace

MediaType::MediaType(const AM_MEDIA_TYPE& type) {
    if (!CopyType(type, type_)) throw std::bad_alloc();
}

MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other) {
        AM_MEDIA_TYPE copy{};
        if (!CopyType(other.type_, copy)) throw std::bad_alloc();
        Clear();
        type_ = copy;
    }
    return *this;
}

void MediaType::Clear() {
    FreeMediaTypeContents(type_);
    type_ = AM_MEDIA_TYPE{};
}

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE& to) const { return CopyType(type_, to) ? S_OK : E_OUTOFMEMORY; }

AM_MEDIA_TYPE* MediaType::NewTaskCopy() const {
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy) return nullptr;
    if (!CopyType(type_, *copy)) {
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE& type) {
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) type.pUnk->Release();
    type.pUnk = nullptr;
}

const std::vector<MediaType>& TransportStreamTypes() {
    static const std::vector<MediaType> types{StreamType(kSubtypeBdaTransport), StreamType(kSubtypeMpeg2Transport)};
    return types;
}

bool IsTransportStream(const AM_MEDIA_TYPE& type) {
    if (type.majortype != kMediaTypeStream) return false;
    if (type.subtype != kSubtypeBdaTransport && type.subtype != kSubtypeMpeg2Transport) return false;
    return type.formattype == GUID_NULL || type.formattype == kFormatNone;
}

bool Fits(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE* wish) {
    if (!wish) return true;
    if (wish->majortype != GUID_NULL && wish->majortype != type.majortype) return false;
    if (wish->subtype != GUID_NULL && wish->subtype != type.subtype) return false;
    if (wish->formattype != GUID_NULL && wish->formattype != type.formattype) return false;
    return true;
}

}  // namespace tunersim
