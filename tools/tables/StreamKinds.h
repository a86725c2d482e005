// What an elementary stream carries. The stream_type says it for most; DVB puts AC-3,
// E-AC-3, teletext and subtitles all under private data (0x06) and tells them apart by a
// descriptor in the stream's ES_info loop (EN 300 468 annex D).
#pragma once

#include "MultiplexTables.h"

#include <string>

namespace talvex::tables {

enum class StreamKind { Video, Audio, Teletext, Subtitles, Other };

StreamKind KindOf(const ElementaryStream& stream);

// "MPEG-2 video", "AC-3 audio", "teletext", "private data", "stream type 0x86".
std::string FormatText(const ElementaryStream& stream);

}  // namespace talvex::tables
