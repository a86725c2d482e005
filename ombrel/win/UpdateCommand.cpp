// 'update': choose and check the image, show what will happen, ask, then flash.
#include "CarriedImages.h"
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "ImageCheck.h"
#include "ImageFile.h"
#include "TextOutput.h"
#include "TunerSelector.h"
#include "Tuners.h"
#include "UpdateRules.h"
#include "UpdateRun.h"

namespace ombrel_cli {
namespace {

struct ChosenImage {
    std::optional<RomfluxImages> carriedFrom;  // keeps a carried image's text loaded
    std::string fileBytes;                     // a file's image
    const unsigned char* bytes = nullptr;
    std::string description;
    std::optional<ImageVersion> version;
};

int ChooseCarried(const Identification& id, ChosenImage& chosen) {
    std::string error;
    chosen.carriedFrom = RomfluxImages::Open(error);
    if (!chosen.carriedFrom) {
        ReportError(error);
        return kExitNoImage;
    }
    const auto carried = chosen.carriedFrom->Find(id.productLine, id.modelCode, id.hardwareRevision);
    if (!carried) {
        ReportError("no firmware image is carried for this tuner (hardware " + IdentificationText(id) + ")");
        return kExitNoImage;
    }
    chosen.bytes = reinterpret_cast<const unsigned char*>(carried->image.text);
    chosen.description = std::string(carried->entry->key) + ", " + FormatReleaseText(carried->version) +
                         " (carried by Romflux)";
    chosen.version = carried->version;
    return kExitOk;
}

int ChooseFile(const std::string& path, std::string fileBytes, const Identification& id, ChosenImage& chosen) {
    const ImageVerdict verdict = CheckImageForTuner(fileBytes, id);
    if (verdict.exitCode != kExitOk) {
        return ReportFailure(verdict.exitCode, path + ": " + verdict.reason);
    }
    chosen.fileBytes = std::move(fileBytes);
    chosen.bytes = reinterpret_cast<const unsigned char*>(chosen.fileBytes.data());
    chosen.description = path + (verdict.version ? ", " + FormatReleaseText(*verdict.version) : std::string());
    chosen.version = verdict.version;
    return kExitOk;
}

// Asks on the console; false when the answer is not yes (or there is none).
bool Confirmed() {
    WriteOut("Update the firmware of this tuner? [y/N] ");
    const auto answer = ReadInputLine();
    // A console has echoed the answer and its line end; from a file or pipe nothing has.
    if (!InputIsConsole()) WriteOut("\n");
    if (!answer) {
        ReportError("no answer (end of input); --yes updates without asking");
        return false;
    }
    if (!IsConfirmation(*answer)) {
        ReportError("update not confirmed");
        return false;
    }
    return true;
}

}  // namespace

int RunUpdate(const Invocation& invocation) {
    std::string error;
    const auto source = ChooseImageSource(invocation, error);
    if (!source) {
        ReportUsageError(invocation.verb->name, error);
        return kExitUsage;
    }
    // A missing or unreadable file is reported before any tuner is touched.
    std::optional<std::string> fileBytes;
    if (source->kind == ImageSource::Kind::File) {
        fileBytes = ReadImageFile(source->file, error);
        if (!fileBytes) return ReportFailure(kExitBadImageFile, error);
    }

    int exitCode = kExitOk;
    const auto tuner = StartAndOpenSelectedTuner(invocation, exitCode);
    if (!tuner) return exitCode;
    const unsigned long handle = tuner->handle.get();
    const TunerLine& line = tuner->line;
    const std::string name = "tuner " + std::to_string(tuner->index);
    if (!line.firmware) {
        const bool gone = !IsAttached(handle);
        ReportError("the firmware version of " + name + " could not be read" + (gone ? ": it has gone" : ""));
        return gone ? kExitNoTuner : kExitFailed;
    }
    const Identification id{(*line.firmware)[0], (*line.firmware)[1], (*line.firmware)[2]};

    ChosenImage chosen;
    exitCode = source->kind == ImageSource::Kind::File ? ChooseFile(source->file, std::move(*fileBytes), id, chosen)
                                                        : ChooseCarried(id, chosen);
    if (exitCode != kExitOk) return exitCode;

    WriteOut("Tuner:  " + std::to_string(tuner->index) + ", " + line.model + " (" + DriverModelText(line.driverModel) +
             "), GUID " + NormalizeGuid(line.guid) + ", firmware " + FirmwareText(line.firmware) + "\n");
    WriteOut("Image:  " + chosen.description + "\n");
    if (const auto note = chosen.version ? SameReleaseNote(*line.firmware, *chosen.version) : std::nullopt) {
        WriteOut("Note:   " + *note + "\n");
    }
    if (!invocation.Has("--yes") && !Confirmed()) return kExitNotConfirmed;
    if (!IsAttached(handle)) {
        ReportError(name + " has gone");
        return kExitNoTuner;
    }
    return FlashAndFollow(handle, chosen.bytes);
}

}  // namespace ombrel_cli
