#include "MediaType.h"

#include "StreamFormat.h"

namespace tunersim {
namespace {

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
