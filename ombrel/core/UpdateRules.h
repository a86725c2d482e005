// The decisions of 'ombrel update' that need no Windows: which image source the command
// line asks for, what a poll means on the console, how a run's end maps to the exit
// code, and the answer to the confirmation prompt.
#pragma once

#include "CommandLine.h"
#include "ImageCatalogue.h"
#include "TunerRecord.h"
#include "UpdatePoll.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

struct ImageSource {
    enum class Kind { Carried, File };
    Kind kind = Kind::Carried;
    std::string file;  // Kind::File only
};

// --auto (the default) or --image FILE; both at once: no value and `error` says why.
std::optional<ImageSource> ChooseImageSource(const Invocation& invocation, std::string& error);

// Romflux's decision for one poll, with what a console run knows besides: a tuner that
// the library reports detached while its status still reads as running has gone (Romflux
// learns this by closing the handle when its list is rebuilt). A final status that could
// be read counts as it is.
romflux::PollDecision DecideConsolePoll(bool statusRead, bool attached, const romflux::UpdateStatus& status);

// The exit code of a finished run: 0 for success, one code per failure text.
int ExitCodeForRun(const romflux::PollDecision& decision, std::uint8_t errorCode);

// Said before the question when the image carries the release the tuner runs already:
// the update is still offered (flashing the same release again may mend a tuner), but
// the user should know it changes nothing else. No value for another release.
std::optional<std::string> SameReleaseNote(const FirmwareBytes& firmware, const ImageVersion& image);

// "y" or "yes" in any case, blanks around allowed.
bool IsConfirmation(std::string_view answer);

}  // namespace ombrel_cli
