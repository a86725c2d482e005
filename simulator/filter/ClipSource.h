// The clips of this process's streams: one library for every pin (parsed once, shared).
#pragma once

namespace tunersim {

namespace stream {
class ClipLibrary;
}

// Throws tunersim::Error when the content folder is missing.
stream::ClipLibrary& SharedClips();

}  // namespace tunersim
