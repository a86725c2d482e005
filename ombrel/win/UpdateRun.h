// The flash itself, from the console: the companion programs ended as Romflux ends them,
// the image handed to the library, the status polled every 400 ms with a progress bar,
// and Romflux's outcome and text at the end.
#pragma once

namespace ombrel_cli {

// `image` holds at least the library's image size. Returns the run's exit code.
int FlashAndFollow(unsigned long handle, const unsigned char* image);

}  // namespace ombrel_cli
