// Stand-in for <windows.h> in the native fuzz build: just the types and functions that
// the version reader uses. The version functions answer from a block that the fuzz
// target hands over (versionshim::UseBlock) and walk it the way the platform does for
// a 16-bit version block: they trust the lengths that the block states, so that the
// reader faces the same pointers and lengths that a damaged resource gives it.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using LANGID = std::uint16_t;
using HMODULE = struct ShimModule*;

inline constexpr DWORD MAX_PATH = 260;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

DWORD GetModuleFileNameA(HMODULE module, char* name, DWORD size);
LANGID GetUserDefaultLangID();
DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle);
BOOL GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD size, void* data);
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

namespace versionshim {

// The version block that every file has from now on (empty: no version resource), and
// the user's language.
void UseBlock(const unsigned char* data, std::size_t size);
void UseUserLanguage(LANGID language);

}  // namespace versionshim
