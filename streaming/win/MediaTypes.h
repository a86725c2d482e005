// The media types of the tuners' transport stream, as the sink takes and offers them.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "OwnedMediaType.h"
#include "StreamGuids.h"

namespace ombrel::stream {

using dshow::MediaType;

// What the sink takes: MEDIATYPE_Stream with either transport-stream subtype or none.
bool IsTransportStream(const AM_MEDIA_TYPE& type);

// The types the sink's pin offers, in its order of preference.
const std::vector<MediaType>& OfferedTypes();

}  // namespace ombrel::stream
