#include "TranslationSearch.h"

namespace romflux {
namespace {

std::optional<std::size_t> FindExact(const Translation* entries, std::size_t count,
                                     uint16_t language) {
    for (std::size_t i = 0; i < count; ++i) {
        if (entries[i].language == language) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> FindSamePrimary(const Translation* entries, std::size_t count,
                                           uint16_t language) {
    for (std::size_t i = 0; i < count; ++i) {
        if ((entries[i].language & 0xFF) == (language & 0xFF)) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> FindWidened(const Translation* entries, std::size_t count,
                                       uint16_t language) {
    if (auto exact = FindExact(entries, count, language)) return exact;
    return FindSamePrimary(entries, count, language);
}

}  // namespace

std::optional<std::size_t> FindTranslationIndex(const Translation* entries, std::size_t count,
                                                uint16_t userLanguage) {
    if (entries == nullptr || count == 0) return std::nullopt;
    if (auto found = FindWidened(entries, count, userLanguage)) return found;
    if (auto found = FindWidened(entries, count, 0x0000)) return found;
    constexpr uint16_t kEnglish = 0x0009;
    if (auto found = FindWidened(entries, count, kEnglish)) return found;
    return std::size_t{0};
}

}  // namespace romflux
