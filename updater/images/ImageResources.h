// The firmware images carried as "UPDATES" resources of a module: Romflux's own, or
// Romflux.exe loaded as a data file by another program of the family. Images are used in
// place: the pointers stay valid while the module is loaded.
#pragma once

#include <windows.h>

#include "ImageCatalogue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct ImageText {
    const char* text = nullptr;  // not NUL-terminated
    std::size_t size = 0;
};

// The "UPDATES" resource with this id in `module` (null: the running program), or null.
HRSRC FindImageResource(int resourceId, HMODULE module = nullptr);

// Loads and locks a resource found in `module`; empty when that fails.
ImageText LoadImageText(HRSRC resource, HMODULE module = nullptr);

// Sets `text` to the image's "Ver. a.b.c.build" and returns true. Returns false and
// leaves `text` unchanged when no resource is given or the image holds no readable
// version record.
bool GetImageVersionText(HRSRC resource, std::string& text);

struct CarriedImage {
    const CatalogueEntry* entry = nullptr;
    ImageText image;
    ImageVersion version;
};

// The image that the catalogue offers for a tuner with these identification bytes: its
// key is in the catalogue, its resource is in `module`, and it is whole and has a
// version record. Nothing otherwise.
std::optional<CarriedImage> FindCarriedImage(HMODULE module, std::uint8_t productLine, std::uint8_t modelCode,
                                             std::uint8_t hardwareRevision);
