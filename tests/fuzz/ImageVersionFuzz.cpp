// The update program's reading of an image's version record, in place, from texts of
// any length, and its catalogue lookups by key. Properties: nothing past the text (nor
// past an image's length) is read, and bytes past an image's length change nothing;
// only a text of an image's length is offered for an update; the texts shown read back
// as the same numbers; a key is found only when it is exactly a catalogue key.
#include "FuzzSupport.h"
#include "ImageCatalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool Same(const std::optional<ImageVersion>& a, const std::optional<ImageVersion>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (std::memcmp(a->release, b->release, sizeof a->release) == 0 && a->build == b->build);
}

void CheckTexts(const ImageVersion& version) {
    FUZZ_REQUIRE(version.release[0] < 256 && version.release[1] < 256 && version.release[2] < 256 && version.build < 65536,
                 "the record's bytes make the numbers");
    unsigned a = 0, b = 0, c = 0, build = 0;
    FUZZ_REQUIRE(std::sscanf(FormatReleaseText(version).c_str(), "Release %u.%u.%u Build %u", &a, &b, &c, &build) == 4 &&
                     a == version.release[0] && b == version.release[1] && c == version.release[2] && build == version.build,
                 "the release text reads back as the version");
    FUZZ_REQUIRE(std::sscanf(FormatVersionText(version).c_str(), "Ver. %u.%u.%u.%u", &a, &b, &c, &build) == 4 &&
                     a == version.release[0] && build == version.build,
                 "the About text reads back as the version");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the text's length: a read past it is caught.
    const auto text = std::make_unique<char[]>(size ? size : 1);
    std::memcpy(text.get(), data, size);

    const auto version = ReadImageVersion(text.get(), size);
    if (version) CheckTexts(*version);
    FUZZ_REQUIRE(Same(version, ReadImageVersion(text.get(), std::min(size, kImageSize))),
                 "bytes past an image's length change nothing");
    const auto offered = ReadOfferableImage(text.get(), size);
    FUZZ_REQUIRE(size >= kImageSize ? Same(offered, version) : !offered, "only a text of an image's length is offered");
    FUZZ_REQUIRE(!ReadImageVersion(nullptr, size), "no text, no version");

    const std::string_view key(text.get(), size);
    if (const CatalogueEntry* entry = FindCatalogueEntry(key)) {
        FUZZ_REQUIRE(key == entry->key, "a key is found only when it is the whole catalogue key");
    }
    if (size >= 3) {
        const std::string formed = FormatImageKey(data[0], data[1], data[2]);
        FUZZ_REQUIRE(formed.size() == 9 && formed.rfind("FW_", 0) == 0, "keys are FW_ and six digits");
    }
    return 0;
}
