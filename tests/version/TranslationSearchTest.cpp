// Order of preference of the translation search, for user languages the test chooses.
#include <gtest/gtest.h>

#include <vector>

#include "FileVersionInfo.h"
#include "TranslationSearch.h"

using romflux::FindTranslationIndex;
using romflux::Translation;

namespace {

std::optional<size_t> Pick(const std::vector<uint16_t>& languages, uint16_t user) {
    std::vector<Translation> list;
    for (uint16_t language : languages) list.push_back(Translation{language, 0x04B0});
    return FindTranslationIndex(list.data(), list.size(), user);
}

}  // namespace

TEST(TranslationSearch, ExactUserLanguageWinsOverEverythingEarlierInTheList) {
    EXPECT_EQ(Pick({0x0409, 0x0407, 0x0C07}, 0x0C07), 2u);
    EXPECT_EQ(Pick({0x0000, 0x0411}, 0x0411), 1u);
}

TEST(TranslationSearch, SamePrimaryLanguageIsTheSecondChoice) {
    EXPECT_EQ(Pick({0x0409, 0x0407}, 0x0C07), 1u);  // German under Austrian German
    // The first entry with the same primary language, not the closest one.
    EXPECT_EQ(Pick({0x0409, 0x0807, 0x0407}, 0x0C07), 1u);
    // Primary language is the low 8 bits only (0x0411 and 0x0011 share 0x11).
    EXPECT_EQ(Pick({0x0409, 0x0011}, 0x0411), 1u);
}

TEST(TranslationSearch, NeutralThenEnglishThenTheFirstEntry) {
    EXPECT_EQ(Pick({0x0409, 0x0000}, 0x0411), 1u);   // neutral beats English
    EXPECT_EQ(Pick({0x0407, 0x0400}, 0x0411), 1u);   // primary of 0 (neutral sub-language)
    EXPECT_EQ(Pick({0x0407, 0x0809}, 0x0411), 1u);   // any English
    EXPECT_EQ(Pick({0x0407, 0x0409}, 0x0411), 1u);
    EXPECT_EQ(Pick({0x040C, 0x0410}, 0x0411), 0u);   // nothing fits: the first
    EXPECT_EQ(Pick({0x0410}, 0x0409), 0u);
}

TEST(TranslationSearch, EmptyListChoosesNothing) {
    EXPECT_EQ(FindTranslationIndex(nullptr, 0, 0x0409), std::nullopt);
    Translation one{0x0409, 0x04B0};
    EXPECT_EQ(FindTranslationIndex(&one, 0, 0x0409), std::nullopt);
    EXPECT_EQ(CFileVersionInfo::FindTranslation(nullptr, 0, 0x0409), std::nullopt);
}

TEST(TranslationSearch, WordsSplitIntoLanguageLowAndCodePageHigh) {
    Translation t = romflux::TranslationFromWord(0x04B00409);
    EXPECT_EQ(t.language, 0x0409);
    EXPECT_EQ(t.codePage, 0x04B0);
    const DWORD words[] = {0x04E40407, 0x04B00C07};
    EXPECT_EQ(CFileVersionInfo::FindTranslation(words, 2, 0x0C07), 1u);
    EXPECT_EQ(CFileVersionInfo::FindTranslation(words, 2, 0x0807), 0u);
    // The default overload uses the user's language; the list holds it or not, but a
    // choice is always made for a non-empty list.
    EXPECT_TRUE(CFileVersionInfo::FindTranslation(words, 2).has_value());
}
