#include "ImageFile.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <memory>

namespace ombrel_cli {
namespace {

// Anything much longer than an image is not one; it is not read whole.
constexpr DWORD kMaxImageFileSize = 4 * OMBREL_IMAGE_SIZE;

std::string SystemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace

std::optional<std::string> ReadImageFile(const std::string& path, std::string& error) {
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        error = path + ": " + SystemErrorText(GetLastError());
        return std::nullopt;
    }
    const FileHandle file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        error = path + ": " + SystemErrorText(GetLastError());
        return std::nullopt;
    }
    if (size.QuadPart > kMaxImageFileSize) {
        error = path + ": " + std::to_string(size.QuadPart) + " bytes is no firmware image (an image has " +
                std::to_string(OMBREL_IMAGE_SIZE) + ")";
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())) {
        error = path + ": " + SystemErrorText(GetLastError());
        return std::nullopt;
    }
    return bytes;
}

}  // namespace ombrel_cli
