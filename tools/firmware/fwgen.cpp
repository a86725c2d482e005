// fwgen <directory>          writes the carried images as FW_<line><model><rev>.hex and the
//                            damaged test variants into <directory>/damaged
// fwgen --check <file>...    validates images; prints the first fault with its line number
#include "FirmwareImage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "fwgen: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

// Rewrites a file only when its bytes change, so dependants are not rebuilt needlessly.
bool WriteIfChanged(const fs::path& path, const std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
        const std::string current((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (current == bytes) return true;
    }
    return WriteFile(path, bytes);
}

int Generate(const fs::path& directory) {
    std::error_code ec;
    fs::create_directories(directory / "damaged", ec);
    if (ec) {
        std::fprintf(stderr, "fwgen: cannot create %s: %s\n", directory.string().c_str(), ec.message().c_str());
        return 1;
    }
    for (const firmware::CatalogueEntry& entry : firmware::Catalogue()) {
        const std::string image = firmware::BuildImage(entry);
        // Never hand a malformed image to the build.
        if (const auto check = firmware::ValidateImage(image); !check.ok) {
            std::fprintf(stderr, "fwgen: %s: line %zu: %s\n", entry.key, check.line, check.message.c_str());
            return 1;
        }
        if (!WriteIfChanged(directory / firmware::ImageFileName(entry), image)) return 1;
    }
    for (const firmware::DamagedVariant& variant : firmware::DamagedVariants()) {
        if (!WriteIfChanged(directory / "damaged" / variant.fileName, firmware::BuildDamagedImage(variant.damage))) return 1;
    }
    return 0;
}

// A file's first bytes, as many as the validator needs, and its size; or why it
// cannot be read. A file of any size costs no more than an image.
struct FileHead {
    std::string bytes;
    std::uintmax_t size = 0;
    std::string problem;
};

FileHead ReadHead(const std::string& file) {
    FileHead head;
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (ec || !fs::exists(status)) {
        head.problem = "cannot open: no such file";
    } else if (fs::is_directory(status)) {
        head.problem = "cannot open: it is a directory";
    } else if (head.size = fs::file_size(file, ec); ec) {
        head.problem = "cannot open: " + ec.message();
    } else {
        std::ifstream in(file, std::ios::binary);
        head.bytes.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(head.size, firmware::kImageHeadSize)));
        in.read(head.bytes.data(), static_cast<std::streamsize>(head.bytes.size()));
        if (!in || static_cast<std::size_t>(in.gcount()) != head.bytes.size()) head.problem = "cannot read";
    }
    return head;
}

int Check(const std::vector<std::string>& files) {
    int faults = 0;
    for (const std::string& file : files) {
        const FileHead head = ReadHead(file);
        if (!head.problem.empty()) {
            std::printf("%s: %s\n", file.c_str(), head.problem.c_str());
            ++faults;
            continue;
        }
        const firmware::ValidationResult result = firmware::ValidateImageHead(head.bytes, head.size);
        if (result.ok) {
            std::printf("%s: ok\n", file.c_str());
        } else {
            std::printf("%s: line %zu: %s\n", file.c_str(), result.line, result.message.c_str());
            ++faults;
        }
    }
    return faults == 0 ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr, "usage: fwgen <directory>\n       fwgen --check <file>...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc >= 3 && std::string_view(argv[1]) == "--check") return Check({argv + 2, argv + argc});
        if (argc == 2 && argv[1][0] != '-') return Generate(argv[1]);
        return Usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fwgen: %s\n", e.what());
        return 1;
    }
}
