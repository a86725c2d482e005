// The firmware images carried as "UPDATES" resources of the program's own module.
// Images are used in place: the pointers stay valid for the life of the process.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

struct ImageText {
    const char* text = nullptr;  // not NUL-terminated
    std::size_t size = 0;
};

// The "UPDATES" resource with this id in the program's module, or null.
HRSRC FindImageResource(int resourceId);

// Loads and locks a found resource; empty when that fails.
ImageText LoadImageText(HRSRC resource);

// Sets `text` to the image's "Ver. a.b.c.build" and returns true. Returns false and
// leaves `text` unchanged when no resource is given or the image holds no readable
// version record.
bool GetImageVersionText(HRSRC resource, std::string& text);
