#include "CarriedImages.h"

#include "CompanionTools.h"

namespace ombrel_cli {

std::optional<RomfluxImages> RomfluxImages::Open(std::string& error) {
    const std::string path = romflux::CompanionTools::ProgramDirectory() + "Romflux.exe";
    const HMODULE module =
        LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        error = "cannot read the firmware images: " + path + " could not be loaded (error " +
                std::to_string(GetLastError()) + ")";
        return std::nullopt;
    }
    return RomfluxImages(module);
}

RomfluxImages::~RomfluxImages() {
    if (module_) FreeLibrary(module_);
}

std::optional<CarriedImage> RomfluxImages::Find(std::uint8_t productLine, std::uint8_t modelCode,
                                                std::uint8_t hardwareRevision) const {
    return FindCarriedImage(module_, productLine, modelCode, hardwareRevision);
}

}  // namespace ombrel_cli
