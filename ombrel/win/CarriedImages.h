// The firmware images that Romflux carries, read from Romflux.exe beside this program
// (loaded as a data file: nothing of it runs), through Romflux's own catalogue code.
#pragma once

#include "ImageResources.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace ombrel_cli {

class RomfluxImages {
public:
    // Loads Romflux.exe from this program's folder; on failure `error` says why.
    static std::optional<RomfluxImages> Open(std::string& error);

    RomfluxImages(RomfluxImages&& other) noexcept : module_(other.module_) { other.module_ = nullptr; }
    RomfluxImages& operator=(RomfluxImages&& other) noexcept {
        std::swap(module_, other.module_);
        return *this;
    }
    RomfluxImages(const RomfluxImages&) = delete;
    RomfluxImages& operator=(const RomfluxImages&) = delete;
    ~RomfluxImages();

    // The image Romflux would offer for a tuner with these identification bytes. Its
    // text stays valid while this object lives.
    std::optional<CarriedImage> Find(std::uint8_t productLine, std::uint8_t modelCode,
                                     std::uint8_t hardwareRevision) const;

private:
    explicit RomfluxImages(HMODULE module) : module_(module) {}
    HMODULE module_;
};

}  // namespace ombrel_cli
