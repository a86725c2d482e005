// The in-use flags of the library's shared section "SHARED_DATA" as any process sees
// them: mapped by name, read and written by a device's display name. Header only, for
// test programs with and without the library.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace testsupport {

class SharedFlags {
public:
    SharedFlags() {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 52004, "SHARED_DATA");
        if (mapping_) view_ = static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    ~SharedFlags() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
    }
    SharedFlags(const SharedFlags&) = delete;
    SharedFlags& operator=(const SharedFlags&) = delete;

    bool Mapped() const { return view_ != nullptr; }
    // The remote-control and the Common Interface flag; -1 when no entry carries the name.
    int Rc(const std::string& displayName) const { return Flag(displayName, kRcOffset); }
    int Ci(const std::string& displayName) const { return Flag(displayName, kCiOffset); }
    // False when no entry carries the name.
    bool SetCi(const std::string& displayName, int value) {
        unsigned char* entry = Entry(displayName);
        if (!entry) return false;
        *reinterpret_cast<volatile std::int32_t*>(entry + kCiOffset) = value;
        return true;
    }

private:
    // A count, then 100 entries of a 512-byte name and the two 32-bit flags.
    static constexpr std::size_t kEntrySize = 520;
    static constexpr std::size_t kRcOffset = 512;
    static constexpr std::size_t kCiOffset = 516;

    int Flag(const std::string& displayName, std::size_t offset) const {
        const unsigned char* entry = Entry(displayName);
        return entry ? *reinterpret_cast<const volatile std::int32_t*>(entry + offset) : -1;
    }

    unsigned char* Entry(const std::string& displayName) const {
        if (!view_) return nullptr;
        const std::uint32_t count = *reinterpret_cast<volatile std::uint32_t*>(view_);
        for (std::uint32_t i = 0; i < count && i < 100; ++i) {
            unsigned char* entry = view_ + 4 + kEntrySize * i;
            if (displayName == reinterpret_cast<const char*>(entry)) return entry;
        }
        return nullptr;
    }

    HANDLE mapping_ = nullptr;
    unsigned char* view_ = nullptr;
};

}  // namespace testsupport
