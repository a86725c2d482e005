// A module's version block as a damaged or hostile file may carry it, read by the About
// box's version reader. The first two input bytes are the user's language, the rest is
// the block. Properties: a block is read exactly when there is one; every text comes
// from inside the block and holds no NUL; the fixed file info is all zero or 52 bytes
// of the block; the chosen translation is one the block lists; a second read gives the
// same, and a read of a file without a block resets everything.
#include "FileVersionInfo.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool InBlock(const std::vector<unsigned char>& block, const void* bytes, std::size_t size) {
    if (size == 0) return true;
    const auto* p = static_cast<const unsigned char*>(bytes);
    return std::search(block.begin(), block.end(), p, p + size) != block.end();
}

std::vector<std::string> Texts(const CFileVersionInfo& info) {
    return {info.GetCompanyName(),  info.GetFileDescription(), info.GetFileVersion(),   info.GetInternalName(),
            info.GetLegalCopyright(), info.GetOriginalFileName(), info.GetProductName(), info.GetProductVersion(),
            info.GetComments(),     info.GetLegalTrademarks(),  info.GetPrivateBuild(), info.GetSpecialBuild()};
}

bool AllZero(const VS_FIXEDFILEINFO& fixed) {
    static const VS_FIXEDFILEINFO zero{};
    return std::memcmp(&fixed, &zero, sizeof fixed) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    versionshim::UseUserLanguage(static_cast<LANGID>(data[0] | data[1] << 8));
    const std::vector<unsigned char> block(data + 2, data + size);
    versionshim::UseBlock(block.data(), block.size());

    CFileVersionInfo info;
    const bool read = info.ReadFromFile("module.dll");
    FUZZ_REQUIRE(read == !block.empty(), "a block is read exactly when the file has one");

    const std::vector<std::string> texts = Texts(info);
    for (const std::string& text : texts) {
        FUZZ_REQUIRE(text.find('\0') == std::string::npos, "a text ends at its NUL");
        FUZZ_REQUIRE(InBlock(block, text.data(), text.size()), "every text comes from inside the block");
    }
    const VS_FIXEDFILEINFO fixed = info.GetFixedFileInfo();
    FUZZ_REQUIRE(AllZero(fixed) || InBlock(block, &fixed, sizeof fixed), "the fixed file info is 52 bytes of the block");
    const DWORD chosen = info.GetChosenTranslation();
    FUZZ_REQUIRE(chosen == 0 || InBlock(block, &chosen, sizeof chosen), "the chosen translation is one the block lists");

    CFileVersionInfo again;
    again.ReadFromFile("module.dll");
    FUZZ_REQUIRE(Texts(again) == texts && std::memcmp(&fixed, &again.GetFixedFileInfo(), sizeof fixed) == 0 &&
                     again.GetChosenTranslation() == chosen,
                 "reading the same block again gives the same");

    versionshim::UseBlock(nullptr, 0);
    FUZZ_REQUIRE(!info.ReadFromFile("module.dll"), "a file without a block is not read");
    for (const std::string& text : Texts(info)) FUZZ_REQUIRE(text.empty(), "and leaves no text behind");
    FUZZ_REQUIRE(AllZero(info.GetFixedFileInfo()) && info.GetChosenTranslation() == 0, "nor version numbers");
    return 0;
}
