// Choice of one entry from a version block's translation list. Plain C++ so that the
// search order can be checked for any user language without changing the system's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace romflux {

// One "\VarFileInfo\Translation" entry as stored: language in the low 16 bits,
// code page in the high 16 bits.
struct Translation {
    uint16_t language = 0;
    uint16_t codePage = 0;
};

inline Translation TranslationFromWord(uint32_t word) {
    return Translation{static_cast<uint16_t>(word & 0xFFFF), static_cast<uint16_t>(word >> 16)};
}

// Index of the chosen entry, or nothing for an empty list. Order of preference: the
// user's language exactly; an entry with the same primary language (low 8 bits);
// language 0 (neutral), exactly then by primary language; any English (primary 9);
// the first entry.
std::optional<std::size_t> FindTranslationIndex(const Translation* entries, std::size_t count,
                                                uint16_t userLanguage);

}  // namespace romflux
