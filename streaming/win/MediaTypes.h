// The media types of the tuners' transport stream, and an owned AM_MEDIA_TYPE.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace ombrel::stream {

// {F4AEB342-0329-4FDD-A8FD-4AFF4926C978}: the BDA transport-stream subtype.
inline constexpr GUID kSubtypeBdaTransport = {0xF4AEB342, 0x0329, 0x4FDD, {0xA8, 0xFD, 0x4A, 0xFF, 0x49, 0x26, 0xC9, 0x78}};
// {E06D8023-DB46-11CF-B4D1-00805F6CBBEA}: MEDIASUBTYPE_MPEG2_TRANSPORT.
inline constexpr GUID kSubtypeMpeg2Transport = {0xE06D8023, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
// {E436EB83-524F-11CE-9F53-0020AF0BA770}: MEDIATYPE_Stream.
inline constexpr GUID kMajorStream = {0xE436EB83, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

// What the sink takes: MEDIATYPE_Stream with either transport-stream subtype or none.
bool IsTransportStream(const AM_MEDIA_TYPE& type);

// The types the sink's pin offers, in its order of preference; false past the last.
bool OfferedType(unsigned index, AM_MEDIA_TYPE& type);

// An AM_MEDIA_TYPE whose format block (CoTaskMemAlloc'd, as the interfaces hand it on)
// and format object it owns.
class MediaType {
public:
    MediaType() = default;
    ~MediaType() { Clear(); }
    MediaType(const MediaType&) = delete;
    MediaType& operator=(const MediaType&) = delete;

    // Copies `from`; E_OUTOFMEMORY leaves this empty.
    HRESULT Assign(const AM_MEDIA_TYPE& from);
    void Clear();
    const AM_MEDIA_TYPE& Get() const { return type_; }

    // Copies `from` into `to`, which the caller frees as the interfaces say.
    static HRESULT CopyTo(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to);
    // Frees what an AM_MEDIA_TYPE handed out by an interface holds, and the record itself
    // when it was handed out by pointer.
    static void FreeContents(AM_MEDIA_TYPE& type);
    static void Delete(AM_MEDIA_TYPE* type);

private:
    AM_MEDIA_TYPE type_{};
};

}  // namespace ombrel::stream
