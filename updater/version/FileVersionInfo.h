// Reader of a module's version resource: the fixed file info and the twelve standard
// strings of the best-fitting translation. Used by the About box.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

class CFileVersionInfo {
public:
    CFileVersionInfo();
    virtual ~CFileVersionInfo();
    CFileVersionInfo(const CFileVersionInfo&) = default;
    CFileVersionInfo& operator=(const CFileVersionInfo&) = default;

    // Zeroes the fixed file info and empties every string.
    virtual void Reset();

    // Reads the version resource of the module's file. False (and everything reset)
    // when the module's file name can't be had or its version block can't be read.
    bool ReadFromModule(HMODULE module);
    bool ReadFromModule(HMODULE module, LANGID userLanguage);

    // True when the version block was read, whatever keys it held. Strings come from
    // the translation that FindTranslation picks; a block without a translation list
    // (or with an empty one) yields no strings.
    bool ReadFromFile(const std::string& fileName);
    bool ReadFromFile(const std::string& fileName, LANGID userLanguage);

    // Index into a list of translation words (language low, code page high) for the
    // given user language, or nothing for an empty list.
    static std::optional<size_t> FindTranslation(const DWORD* entries, size_t count,
                                                 LANGID userLanguage);
    static std::optional<size_t> FindTranslation(const DWORD* entries, size_t count);

    const VS_FIXEDFILEINFO& GetFixedFileInfo() const { return m_fixedFileInfo; }

    // The language and code page whose strings were read, 0 when none were.
    DWORD GetChosenTranslation() const { return m_chosenTranslation; }

    std::string GetCompanyName() const { return m_companyName; }
    std::string GetFileDescription() const { return m_fileDescription; }
    std::string GetFileVersion() const { return m_fileVersion; }
    std::string GetInternalName() const { return m_internalName; }
    std::string GetLegalCopyright() const { return m_legalCopyright; }
    std::string GetOriginalFileName() const { return m_originalFileName; }
    std::string GetProductName() const { return m_productName; }
    std::string GetProductVersion() const { return m_productVersion; }
    std::string GetComments() const { return m_comments; }
    std::string GetLegalTrademarks() const { return m_legalTrademarks; }
    std::string GetPrivateBuild() const { return m_privateBuild; }
    std::string GetSpecialBuild() const { return m_specialBuild; }

private:
    bool ReadBlock(const unsigned char* block, size_t size, LANGID userLanguage);

    VS_FIXEDFILEINFO m_fixedFileInfo{};
    std::string m_companyName;
    std::string m_fileDescription;
    std::string m_fileVersion;
    std::string m_internalName;
    std::string m_legalCopyright;
    std::string m_originalFileName;
    std::string m_productName;
    std::string m_productVersion;
    std::string m_comments;
    std::string m_legalTrademarks;
    std::string m_privateBuild;
    std::string m_specialBuild;
    DWORD m_chosenTranslation = 0;
};
