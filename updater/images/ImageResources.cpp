#include "ImageResources.h"

HRSRC FindImageResource(int resourceId, HMODULE module)
{
    return FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"UPDATES");
}

ImageText LoadImageText(HRSRC resource, HMODULE module)
{
    if (!resource) return {};
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

std::optional<CarriedImage> FindCarriedImage(HMODULE module, std::uint8_t productLine, std::uint8_t modelCode,
                                             std::uint8_t hardwareRevision)
{
    const CatalogueEntry* entry = FindCatalogueEntry(FormatImageKey(productLine, modelCode, hardwareRevision));
    if (!entry) return std::nullopt;
    const ImageText image = LoadImageText(FindImageResource(entry->resourceId, module), module);
    const auto version = ReadOfferableImage(image.text, image.size);
    if (!version) return std::nullopt;
    return CarriedImage{entry, image, *version};
}
