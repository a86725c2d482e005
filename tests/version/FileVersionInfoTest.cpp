// The reader against real modules with version resources of their own, and against
// Romflux's own executable.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "FileVersionInfo.h"
#include "UiDriver.h"

namespace {

std::string Module(const char* name) { return uidriver::Narrow(uidriver::BinDirectory()) + name; }

void ExpectAllStringsEmpty(const CFileVersionInfo& info) {
    EXPECT_EQ(info.GetCompanyName(), "");
    EXPECT_EQ(info.GetFileDescription(), "");
    EXPECT_EQ(info.GetFileVersion(), "");
    EXPECT_EQ(info.GetInternalName(), "");
    EXPECT_EQ(info.GetLegalCopyright(), "");
    EXPECT_EQ(info.GetOriginalFileName(), "");
    EXPECT_EQ(info.GetProductName(), "");
    EXPECT_EQ(info.GetProductVersion(), "");
    EXPECT_EQ(info.GetComments(), "");
    EXPECT_EQ(info.GetLegalTrademarks(), "");
    EXPECT_EQ(info.GetPrivateBuild(), "");
    EXPECT_EQ(info.GetSpecialBuild(), "");
}

void ExpectFixedInfoZero(const CFileVersionInfo& info) {
    VS_FIXEDFILEINFO zero{};
    EXPECT_EQ(std::memcmp(&info.GetFixedFileInfo(), &zero, sizeof(zero)), 0);
}

}  // namespace

TEST(FileVersionInfoLanguages, GermanOnlyUnderAustrianGermanReadsTheGermanStrings) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_german.dll"), 0x0C07));
    EXPECT_EQ(info.GetChosenTranslation(), 0x04B00407u);
    EXPECT_EQ(info.GetProductName(), "Deutsches Produkt");
    EXPECT_EQ(info.GetCompanyName(), "Beispiel GmbH");
    EXPECT_EQ(info.GetFileDescription(), "Deutsche Beschreibung");
    EXPECT_EQ(info.GetLegalCopyright(), "Urheberrecht Beispiel");
    EXPECT_EQ(info.GetSpecialBuild(), "");  // missing key: empty
}

TEST(FileVersionInfoLanguages, EnglishOnlyUnderJapaneseFallsBackToEnglish) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_english.dll"), 0x0411));
    EXPECT_EQ(info.GetChosenTranslation(), 0x04E40409u);
    EXPECT_EQ(info.GetProductName(), "English Product");
    EXPECT_EQ(info.GetLegalCopyright(), "Copyright English");
}

TEST(FileVersionInfoLanguages, NoMatchingLanguageTakesTheFirstEntry) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_nomatch.dll"), 0x0411));
    EXPECT_EQ(info.GetProductName(), "Produit");
    // The second entry is reachable when it is the user's language.
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_nomatch.dll"), 0x0410));
    EXPECT_EQ(info.GetProductName(), "Prodotto");
}

TEST(FileVersionInfoLanguages, SearchOrderOverSeveralTranslations) {
    CFileVersionInfo info;
    const std::string file = Module("verinfo_mixed.dll");
    ASSERT_TRUE(info.ReadFromFile(file, 0x0C07));
    EXPECT_EQ(info.GetProductName(), "Oesterreich");  // exact beats an earlier German
    ASSERT_TRUE(info.ReadFromFile(file, 0x0807));
    EXPECT_EQ(info.GetProductName(), "Deutschland");  // first German by primary language
    ASSERT_TRUE(info.ReadFromFile(file, 0x0411));
    EXPECT_EQ(info.GetProductName(), "Neutral");      // neutral before English
    ASSERT_TRUE(info.ReadFromFile(file, 0x0409));
    EXPECT_EQ(info.GetProductName(), "United Kingdom");  // same primary as US English
}

TEST(FileVersionInfoBlocks, NoVersionResourceFailsAndLeavesEverythingReset) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_beta.dll"), 0x0409));
    ASSERT_EQ(info.GetSpecialBuild(), "beta");
    EXPECT_FALSE(info.ReadFromFile(Module("verinfo_none.dll"), 0x0409));
    ExpectAllStringsEmpty(info);
    ExpectFixedInfoZero(info);
    EXPECT_FALSE(info.ReadFromFile(Module("no-such-file.dll"), 0x0409));
    ExpectAllStringsEmpty(info);
}

TEST(FileVersionInfoBlocks, WithoutATranslationListNoStringsAreRead) {
    for (const char* name : {"verinfo_notranslation.dll", "verinfo_emptytranslation.dll"}) {
        SCOPED_TRACE(name);
        CFileVersionInfo info;
        ASSERT_TRUE(info.ReadFromFile(Module("verinfo_beta.dll"), 0x0409));
        EXPECT_TRUE(info.ReadFromFile(Module(name), 0x0409));
        ExpectAllStringsEmpty(info);
        EXPECT_EQ(info.GetChosenTranslation(), 0u);
        // The fixed block is still read.
        EXPECT_EQ(info.GetFixedFileInfo().dwSignature, 0xFEEF04BDu);
    }
}

TEST(FileVersionInfoBlocks, SpecialBuildWithAllTwelveStrings) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_beta.dll"), 0x0409));
    EXPECT_EQ(info.GetCompanyName(), "Example Company");
    EXPECT_EQ(info.GetFileDescription(), "Beta build module");
    EXPECT_EQ(info.GetFileVersion(), "4.1.0.9");
    EXPECT_EQ(info.GetInternalName(), "beta");
    EXPECT_EQ(info.GetLegalCopyright(), "Copyright (C) Example");
    EXPECT_EQ(info.GetOriginalFileName(), "verinfo_beta.dll");
    EXPECT_EQ(info.GetProductName(), "Example Product");
    EXPECT_EQ(info.GetProductVersion(), "4.1");
    EXPECT_EQ(info.GetComments(), "some comments");
    EXPECT_EQ(info.GetLegalTrademarks(), "no marks");
    EXPECT_EQ(info.GetPrivateBuild(), "private one");
    EXPECT_EQ(info.GetSpecialBuild(), "beta");

    // Reset empties all of it again.
    info.Reset();
    ExpectAllStringsEmpty(info);
    ExpectFixedInfoZero(info);
}

TEST(FileVersionInfoBlocks, FixedInfoIsCopiedWhole) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_german.dll"), 0x0407));
    const VS_FIXEDFILEINFO& fixed = info.GetFixedFileInfo();
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00050006u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00070008u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileOS, 0x40004u);
    EXPECT_EQ(fixed.dwFileType, 2u);
    EXPECT_EQ(fixed.dwFileSubtype, 0u);

    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_beta.dll"), 0x0409));
    EXPECT_EQ(info.GetFixedFileInfo().dwFileFlags, 0x20u);
    EXPECT_EQ(info.GetFixedFileInfo().dwFileVersionLS, 0x00000009u);
}

TEST(FileVersionInfoBlocks, ReadFromModuleReadsTheLoadedModulesFile) {
    HMODULE module = LoadLibraryA(Module("verinfo_german.dll").c_str());
    ASSERT_NE(module, nullptr);
    CFileVersionInfo info;
    EXPECT_TRUE(info.ReadFromModule(module, 0x0C07));
    EXPECT_EQ(info.GetProductName(), "Deutsches Produkt");
    FreeLibrary(module);

    // The test program itself has no version resource.
    EXPECT_FALSE(info.ReadFromModule(nullptr, 0x0409));
    ExpectAllStringsEmpty(info);
}

TEST(FileVersionInfoBlocks, CopiesAreIndependent) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(Module("verinfo_beta.dll"), 0x0409));
    CFileVersionInfo copy = info;
    info.Reset();
    EXPECT_EQ(copy.GetProductName(), "Example Product");
    EXPECT_EQ(info.GetProductName(), "");
}

TEST(RomfluxVersionResource, MatchesTheProgramsPublishedVersion) {
    const std::string romflux = Module("Romflux.exe");
    if (GetFileAttributesA(romflux.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "Romflux.exe is not built in this tree";
    }
    CFileVersionInfo info;
    // Its only translation is US English: any user language ends up there.
    for (LANGID user : {LANGID{0x0409}, LANGID{0x0407}, LANGID{0x0411}}) {
        SCOPED_TRACE(user);
        ASSERT_TRUE(info.ReadFromFile(romflux, user));
        EXPECT_EQ(info.GetChosenTranslation(), 0x04B00409u);
        EXPECT_EQ(info.GetProductName(), "Talvex Romflux");
        EXPECT_EQ(info.GetLegalCopyright(), "Copyright (C) 2004-2007 Talvex Systems GmbH");
        EXPECT_EQ(info.GetCompanyName(), "Talvex Systems GmbH");
        EXPECT_EQ(info.GetFileDescription(), "Firmware Update tool for Talvex");
        EXPECT_EQ(info.GetFileVersion(), "3.0.2182.0");
        EXPECT_EQ(info.GetProductVersion(), "3.0.2182.0");
        EXPECT_EQ(info.GetInternalName(), "Romflux");
        // The resource spells the key "OriginalFilename"; version keys are matched
        // without regard to case, so the reader's "OriginalFileName" finds it.
        EXPECT_EQ(info.GetOriginalFileName(), "Romflux.exe");
        EXPECT_EQ(info.GetSpecialBuild(), "");
        EXPECT_EQ(info.GetComments(), "");
        EXPECT_EQ(info.GetLegalTrademarks(), "");
        EXPECT_EQ(info.GetPrivateBuild(), "");
    }
    const VS_FIXEDFILEINFO& fixed = info.GetFixedFileInfo();
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00030000u);
    EXPECT_EQ(fixed.dwFileVersionLS, (2182u << 16) | 0u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00030000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 2182u << 16);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x17u);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, 0x4u);
    EXPECT_EQ(fixed.dwFileType, 1u);
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS, 0u);
    EXPECT_EQ(fixed.dwFileDateLS, 0u);
}
