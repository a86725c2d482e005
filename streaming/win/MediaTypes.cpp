#include "MediaTypes.h"

namespace ombrel::stream {
namespace {

MediaType Offered(const GUID& subtype) {
    AM_MEDIA_TYPE type{};
    type.majortype = dshow::kMediaTypeStream;
    type.subtype = subtype;
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = 1;
    type.formattype = GUID_NULL;
    return MediaType(type);
}

}  // namespace

bool IsTransportStream(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, dshow::kMediaTypeStream) &&
           (IsEqualGUID(type.subtype, dshow::kSubtypeBdaTransport) ||
            IsEqualGUID(type.subtype, dshow::kSubtypeMpeg2Transport) || IsEqualGUID(type.subtype, GUID_NULL));
}

const std::vector<MediaType>& OfferedTypes() {
    static const std::vector<MediaType> types{Offered(dshow::kSubtypeBdaTransport),
                                              Offered(dshow::kSubtypeMpeg2Transport)};
    return types;
}

}  // namespace ombrel::stream
