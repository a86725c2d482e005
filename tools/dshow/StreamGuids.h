// The GUIDs of a transport stream's media type, as the tuners' pins carry it and the
// stream library's sink takes it.
#pragma once

#include <windows.h>

namespace dshow {

// MEDIATYPE_Stream {E436EB83-524F-11CE-9F53-0020AF0BA770}
inline constexpr GUID kMediaTypeStream = {
    0xE436EB83, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// KSDATAFORMAT_SUBTYPE_BDA_MPEG2_TRANSPORT {F4AEB342-0329-4FDD-A8FD-4AFF4926C978}
inline constexpr GUID kSubtypeBdaTransport = {
    0xF4AEB342, 0x0329, 0x4FDD, {0xA8, 0xFD, 0x4A, 0xFF, 0x49, 0x26, 0xC9, 0x78}};
// MEDIASUBTYPE_MPEG2_TRANSPORT {E06D8023-DB46-11CF-B4D1-00805F6CBBEA}
inline constexpr GUID kSubtypeMpeg2Transport = {
    0xE06D8023, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
// FORMAT_None {0F6417D6-C318-11D0-A43F-00A0C9223196}
inline constexpr GUID kFormatNone = {
    0x0F6417D6, 0xC318, 0x11D0, {0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

}  // namespace dshow
