// AM_MEDIA_TYPE as a value (its format block and its object freed with it), and the
// transport-stream types the pins offer and accept.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

namespace tunersim {

class MediaType {
public:
    MediaType() = default;
    explicit MediaType(const AM_MEDIA_TYPE& type);
    MediaType(const MediaType& other) : MediaType(other.type_) {}
    MediaType& operator=(const MediaType& other);
    ~MediaType() { Clear(); }

    const AM_MEDIA_TYPE& Get() const { return type_; }
    // Fills `to` (whose old contents are not freed) with a copy; E_OUTOFMEMORY when the
    // format block cannot be copied.
    HRESULT CopyTo(AM_MEDIA_TYPE& to) const;
    // A copy in task memory, as IEnumMediaTypes hands them out; nullptr when out of memory.
    AM_MEDIA_TYPE* NewTaskCopy() const;

private:
    void Clear();
    AM_MEDIA_TYPE type_{};
};

// Frees what CopyTo put into a caller's AM_MEDIA_TYPE.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);

// The types a transport-stream pin offers, best first: the BDA transport subtype, then
// MEDIASUBTYPE_MPEG2_TRANSPORT.
const std::vector<MediaType>& TransportStreamTypes();

// Whether a fully given type is one of them (any format block of FORMAT_None or none).
bool IsTransportStream(const AM_MEDIA_TYPE& type);

// Whether `type` fits a partly given `wish` (GUID_NULL fields match anything).
bool Fits(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE* wish);

}  // namespace tunersim
