#include "UpdateRules.h"

#include "ExitCodes.h"

#include <algorithm>
#include <cctype>

namespace ombrel_cli {

std::optional<ImageSource> ChooseImageSource(const Invocation& invocation, std::string& error) {
    const std::string* file = invocation.Value("--image");
    if (file && invocation.Has("--auto")) {
        error = "--auto and --image exclude each other";
        return std::nullopt;
    }
    if (file) return ImageSource{ImageSource::Kind::File, *file};
    return ImageSource{};
}

std::optional<std::string> SameReleaseNote(const FirmwareBytes& f, const ImageVersion& image) {
    const bool same = image.release[0] == f[3] && image.release[1] == f[4] && image.release[2] == f[5] &&
                      image.build == 256u * f[6] + f[7];
    if (!same) return std::nullopt;
    return "the tuner runs this release already (" + FormatReleaseText(image) +
           "): the update would flash the same firmware again";
}

romflux::PollDecision DecideConsolePoll(bool statusRead, bool attached, const romflux::UpdateStatus& status) {
    romflux::PollDecision decision = romflux::DecidePoll(statusRead, status);
    if (decision.outcome == romflux::PollOutcome::Running && !attached) return romflux::DecidePoll(false, status);
    return decision;
}

int ExitCodeForRun(const romflux::PollDecision& decision, std::uint8_t errorCode) {
    switch (decision.outcome) {
    case romflux::PollOutcome::Succeeded: return kExitOk;
    case romflux::PollOutcome::Detached: return kExitUpdateDetached;
    case romflux::PollOutcome::Running: return kExitFailed;  // not an end; never asked for
    case romflux::PollOutcome::Failed: break;
    }
    switch (errorCode) {
    case 2: return kExitUpdateSections;
    case 4: return kExitUpdateCount;
    case 5: return kExitUpdateCrc;
    case 9: return kExitUpdateHardware;
    default: return kExitUpdateFailed;
    }
}

bool IsConfirmation(std::string_view answer) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!answer.empty() && blank(answer.front())) answer.remove_prefix(1);
    while (!answer.empty() && blank(answer.back())) answer.remove_suffix(1);
    std::string lower(answer);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return lower == "y" || lower == "yes";
}

}  // namespace ombrel_cli
