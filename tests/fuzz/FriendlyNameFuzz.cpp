// Friendly names as a filter's property bag may hold them: any wide text.
// Properties: a name is taken exactly when it matches one of its category's names
// letter for letter, regardless of ASCII letter case; changing the case of a name
// never changes the verdict; receiver names are never taken as tuners or captures.
#include "FriendlyNames.h"
#include "FuzzSupport.h"

#include <string>

namespace {

using ombrel::Category;

wchar_t FoldAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

std::wstring Folded(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = FoldAscii(c);
    return out;
}

std::wstring Lowered(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return out;
}

bool InTable(Category category, std::wstring_view name) {
    for (std::wstring_view accepted : ombrel::FriendlyNamesOf(category)) {
        if (Folded(accepted) == Folded(name)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes per UTF-16 unit, as the property bag's BSTR holds them.
    std::wstring name;
    for (std::size_t i = 0; i + 1 < size; i += 2) name.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));

    for (Category category : {Category::WdmCapture, Category::BdaTuner, Category::BdaReceiver}) {
        const bool taken = ombrel::IsAcceptedFriendlyName(category, name);
        FUZZ_REQUIRE(taken == InTable(category, name), "taken exactly when the table holds the name");
        FUZZ_REQUIRE(ombrel::IsAcceptedFriendlyName(category, Folded(name)) == taken, "upper case changes nothing");
        FUZZ_REQUIRE(ombrel::IsAcceptedFriendlyName(category, Lowered(name)) == taken, "lower case changes nothing");
        FUZZ_REQUIRE(!ombrel::IsAcceptedFriendlyName(category, name + L" "), "a trailing blank is not the name");
    }
    if (ombrel::IsAcceptedFriendlyName(Category::BdaReceiver, name)) {
        FUZZ_REQUIRE(!ombrel::IsAcceptedFriendlyName(Category::BdaTuner, name) &&
                         !ombrel::IsAcceptedFriendlyName(Category::WdmCapture, name),
                     "a receiver name is only a receiver's");
    }
    return 0;
}
