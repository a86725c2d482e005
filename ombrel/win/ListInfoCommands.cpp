// 'list' and 'info'.
#include "CarriedImages.h"
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "ImageCheck.h"
#include "JsonOutput.h"
#include "TextOutput.h"
#include "Tuners.h"

namespace ombrel_cli {
namespace {

// The image 'update --auto' would send, or why there is none.
void DescribeUpdateImage(TunerDetails& details) {
    if (!details.line.firmware) {
        details.imageNote = "unknown (the firmware version could not be read)";
        return;
    }
    const FirmwareBytes& f = *details.line.firmware;
    std::string error;
    const auto images = RomfluxImages::Open(error);
    if (!images) {
        details.imageNote = "unknown (" + error + ")";
        return;
    }
    if (const auto carried = images->Find(f[0], f[1], f[2])) {
        details.image = CarriedImageInfo{carried->entry->key, FormatReleaseText(carried->version)};
    } else {
        details.imageNote = "none carried for hardware " + IdentificationText({f[0], f[1], f[2]});
    }
}

}  // namespace

bool StartLibraryOrReport() {
    if (StartLibrary()) return true;
    ReportError("the library could not start (OB_Initialize failed)");
    return false;
}

std::optional<OpenTuner> StartAndOpenSelectedTuner(const Invocation& invocation, int& exitCode) {
    if (!StartLibraryOrReport()) {
        exitCode = kExitFailed;
        return std::nullopt;
    }
    return OpenSelectedTuner(invocation, exitCode);
}

int RunList(const Invocation& invocation) {
    if (!StartLibraryOrReport()) return kExitFailed;
    const std::vector<OpenTuner> tuners = OpenAttachedTuners();
    std::vector<TunerLine> lines;
    for (const OpenTuner& tuner : tuners) lines.push_back(tuner.line);
    if (invocation.Has("--json")) return WriteResult(ListJson(lines, AnsiToUtf8));
    return WriteResult(lines.empty() ? std::string("No tuner is attached.\n") : ListTable(lines));
}

int RunInfo(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto tuner = StartAndOpenSelectedTuner(invocation, exitCode);
    if (!tuner) return exitCode;
    TunerDetails details = ReadTunerDetails(*tuner);
    DescribeUpdateImage(details);
    // A tuner that went while it was read shows what could be read, and says so.
    details.line.attached = IsAttached(tuner->handle.get());
    if (!details.line.attached) details.line.index.reset();
    const int written = WriteResult(invocation.Has("--json") ? InfoJson(details, AnsiToUtf8) : InfoText(details));
    if (!details.line.attached) {
        ReportError("tuner " + std::to_string(tuner->index) + " went away while it was read");
        return kExitNoTuner;
    }
    return written;
}

}  // namespace ombrel_cli
