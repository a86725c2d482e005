// The transport-stream types the pins offer and accept.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "OwnedMediaType.h"

namespace tunersim {

using dshow::MediaType;

// The types a transport-stream pin offers, best first: the BDA transport subtype, then
// MEDIASUBTYPE_MPEG2_TRANSPORT.
const std::vector<MediaType>& TransportStreamTypes();

// Whether a fully given type is one of them (any format block of FORMAT_None or none).
bool IsTransportStream(const AM_MEDIA_TYPE& type);

// Whether `type` fits a partly given `wish` (GUID_NULL fields match anything).
bool Fits(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE* wish);

}  // namespace tunersim
