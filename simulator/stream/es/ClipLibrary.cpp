#include "ClipLibrary.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tunersim::stream {

ClipLibrary::ClipLibrary(std::string folder) : folder_(std::move(folder)) {}

std::string ClipLibrary::FileName(const std::string& clip, sky::StreamType type) {
    return clip + "." + std::string(ClipExtension(type));
}

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("content clip " + path.string() + ": cannot be opened");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("content clip " + path.string() + ": cannot be read");
    return bytes;
}

}  // namespace

const Clip& ClipLibrary::Get(const std::string& clip, sky::StreamType type) {
    const std::string name = FileName(clip, type);
    std::lock_guard lock(mutex_);
    if (const auto found = clips_.find(name); found != clips_.end()) return *found->second;
    const std::filesystem::path path = std::filesystem::path(folder_) / name;
    std::vector<uint8_t> bytes = ReadFile(path);
    std::unique_ptr<const Clip> loaded;
    try {
        loaded = std::make_unique<const Clip>(type, std::move(bytes));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("content clip " + path.string() + ": " + e.what());
    }
    return *clips_.emplace(name, std::move(loaded)).first->second;
}

}  // namespace tunersim::stream
