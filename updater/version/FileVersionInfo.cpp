#include "FileVersionInfo.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "TranslationSearch.h"

namespace {

// Text of a VerQueryValueA result, never reaching past the block: the value may lack
// its terminator in a damaged resource.
std::string TextWithinBlock(const unsigned char* block, size_t size, const void* value,
                            UINT length) {
    const auto* text = static_cast<const unsigned char*>(value);
    if (text < block || text >= block + size) return {};
    size_t limit = static_cast<size_t>(block + size - text);
    if (length < limit) limit = length;
    const void* end = std::memchr(text, 0, limit);
    size_t count = end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - text) : limit;
    return std::string(reinterpret_cast<const char*>(text), count);
}

bool WithinBlock(const unsigned char* block, size_t size, const void* value, size_t length) {
    const auto* p = static_cast<const unsigned char*>(value);
    return p >= block && p <= block + size && length <= static_cast<size_t>(block + size - p);
}

}  // namespace

CFileVersionInfo::CFileVersionInfo() { Reset(); }

CFileVersionInfo::~CFileVersionInfo() = default;

void CFileVersionInfo::Reset() {
    std::memset(&m_fixedFileInfo, 0, sizeof(m_fixedFileInfo));
    m_companyName.clear();
    m_fileDescription.clear();
    m_fileVersion.clear();
    m_internalName.clear();
    m_legalCopyright.clear();
    m_originalFileName.clear();
    m_productName.clear();
    m_productVersion.clear();
    m_comments.clear();
    m_legalTrademarks.clear();
    m_privateBuild.clear();
    m_specialBuild.clear();
    m_chosenTranslation = 0;
}

bool CFileVersionInfo::ReadFromModule(HMODULE module) {
    return ReadFromModule(module, GetUserDefaultLangID());
}

bool CFileVersionInfo::ReadFromModule(HMODULE module, LANGID userLanguage) {
    char fileName[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, fileName, MAX_PATH);
    // 0 is failure; MAX_PATH means the name was cut and would name another file.
    if (length == 0 || length >= MAX_PATH) {
        Reset();
        return false;
    }
    return ReadFromFile(std::string(fileName, length), userLanguage);
}

bool CFileVersionInfo::ReadFromFile(const std::string& fileName) {
    return ReadFromFile(fileName, GetUserDefaultLangID());
}

bool CFileVersionInfo::ReadFromFile(const std::string& fileName, LANGID userLanguage) {
    Reset();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
    if (size == 0) return false;

    std::vector<unsigned char> block;
    try {
        block.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!GetFileVersionInfoA(fileName.c_str(), 0, size, block.data())) return false;
    return ReadBlock(block.data(), block.size(), userLanguage);
}

bool CFileVersionInfo::ReadBlock(const unsigned char* block, size_t size, LANGID userLanguage) {
    // VerQueryValueA takes a non-const block (it may convert strings in place).
    void* data = const_cast<unsigned char*>(block);

    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data, "\\", &value, &length) && length == sizeof(VS_FIXEDFILEINFO) &&
        WithinBlock(block, size, value, length)) {
        std::memcpy(&m_fixedFileInfo, value, sizeof(m_fixedFileInfo));
    }

    value = nullptr;
    length = 0;
    if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", &value, &length) || value == nullptr ||
        !WithinBlock(block, size, value, length)) {
        return true;  // the block was read; it names no language to take strings from
    }
    size_t count = length / sizeof(DWORD);
    std::vector<DWORD> entries(count);
    if (count != 0) std::memcpy(entries.data(), value, count * sizeof(DWORD));
    std::optional<size_t> chosen = FindTranslation(entries.data(), count, userLanguage);
    if (!chosen) return true;

    const romflux::Translation translation = romflux::TranslationFromWord(entries[*chosen]);
    m_chosenTranslation = entries[*chosen];
    char prefix[64];
    std::snprintf(prefix, sizeof(prefix), "\\StringFileInfo\\%04X%04X\\",
                  static_cast<unsigned>(translation.language),
                  static_cast<unsigned>(translation.codePage));

    struct Key {
        const char* name;
        std::string CFileVersionInfo::*member;
    };
    static const Key kKeys[] = {
        {"CompanyName", &CFileVersionInfo::m_companyName},
        {"FileDescription", &CFileVersionInfo::m_fileDescription},
        {"FileVersion", &CFileVersionInfo::m_fileVersion},
        {"InternalName", &CFileVersionInfo::m_internalName},
        {"LegalCopyright", &CFileVersionInfo::m_legalCopyright},
        {"OriginalFileName", &CFileVersionInfo::m_originalFileName},
        {"ProductName", &CFileVersionInfo::m_productName},
        {"ProductVersion", &CFileVersionInfo::m_productVersion},
        {"Comments", &CFileVersionInfo::m_comments},
        {"LegalTrademarks", &CFileVersionInfo::m_legalTrademarks},
        {"PrivateBuild", &CFileVersionInfo::m_privateBuild},
        {"SpecialBuild", &CFileVersionInfo::m_specialBuild},
    };
    for (const Key& key : kKeys) {
        std::string path = std::string(prefix) + key.name;
        value = nullptr;
        length = 0;
        if (VerQueryValueA(data, path.c_str(), &value, &length) && value != nullptr) {
            this->*key.member = TextWithinBlock(block, size, value, length);
        }
    }
    return true;
}

std::optional<size_t> CFileVersionInfo::FindTranslation(const DWORD* entries, size_t count,
                                                        LANGID userLanguage) {
    if (entries == nullptr || count == 0) return std::nullopt;
    std::vector<romflux::Translation> list;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) list.push_back(romflux::TranslationFromWord(entries[i]));
    return romflux::FindTranslationIndex(list.data(), list.size(), userLanguage);
}

std::optional<size_t> CFileVersionInfo::FindTranslation(const DWORD* entries, size_t count) {
    return FindTranslation(entries, count, GetUserDefaultLangID());
}
