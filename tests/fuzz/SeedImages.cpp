// fuzz_seed_images <directory>: writes full-size image seeds (two carried images and
// every damaged variant) for the firmware_image target, made by the project's own
// image builder so that they follow the format as it stands.
#include "FirmwareImage.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::fprintf(stderr, "fuzz_seed_images: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_images <directory>\n");
        return 2;
    }
    const std::string directory = argv[1];
    bool ok = true;
    for (const char* key : {"FW_013401", "FW_012404"}) {
        ok = Write(directory + "/" + key + ".hex", firmware::BuildImage(*firmware::FindCatalogueEntry(key))) && ok;
    }
    for (const firmware::DamagedVariant& variant : firmware::DamagedVariants()) {
        ok = Write(directory + "/" + variant.fileName, firmware::BuildDamagedImage(variant.damage)) && ok;
    }
    return ok ? 0 : 1;
}
