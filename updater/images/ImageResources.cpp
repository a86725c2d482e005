#include "ImageResources.h"

#include "ImageCatalogue.h"

HRSRC FindImageResource(int resourceId)
{
    return FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), L"UPDATES");
}

ImageText LoadImageText(HRSRC resource)
{
    if (!resource) return {};
    HMODULE module = GetModuleHandleW(nullptr);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* locked = loaded ? LockResource(loaded) : nullptr;
    if (!locked) return {};
    return {static_cast<const char*>(locked), static_cast<std::size_t>(SizeofResource(module, resource))};
}

bool GetImageVersionText(HRSRC resource, std::string& text)
{
    if (!resource) return false;
    const ImageText image = LoadImageText(resource);
    const auto version = ReadImageVersion(image.text, image.size);
    if (!version) return false;
    text = FormatVersionText(*version);
    return true;
}
