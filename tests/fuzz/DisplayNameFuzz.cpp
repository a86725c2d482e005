// Display names as the system device enumerator may hand them over: any text.
// Properties: the identifier is the number that the segment between the last two '#'
// spells (other characters counting as 0), read independently with strtoull; the
// identifier written back into a well-formed name decodes to itself; the subunit is
// the character before the second-to-last '#'.
#include "DisplayName.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::uint64_t Identifier(const ombrel::DeviceId& id) {
    return std::uint64_t{ombrel::GuidHigh(id.guid)} << 32 | ombrel::GuidLow(id.guid);
}

// The 16-character field that the segment fills, right-aligned, padded with '0'.
std::string Field(std::string_view name) {
    const std::size_t last = name.rfind('#');
    const std::size_t second = name.rfind('#', last - 1);
    const std::size_t begin = second == std::string_view::npos ? 0 : second + 1;
    std::string segment(name.substr(begin, last - begin));
    if (segment.size() > 16) segment.erase(0, segment.size() - 16);
    return std::string(16 - segment.size(), '0') + segment;
}

void CheckIdentifier(std::string_view name, const ombrel::DeviceId& id) {
    const std::size_t terminator = std::find(id.guidString.begin(), id.guidString.end(), '\0') - id.guidString.begin();
    FUZZ_REQUIRE(terminator < id.guidString.size(), "the GUID text is NUL-terminated inside its field");
    const std::string_view text(id.guidString.data(), terminator);

    const std::size_t last = name.rfind('#');
    if (last == std::string_view::npos || last == 0) {
        FUZZ_REQUIRE(text == "Error", "a name without a usable '#' gives Error");
        FUZZ_REQUIRE(Identifier(id) == 0, "and an all-zero identifier");
        return;
    }
    const std::string field = Field(name);
    FUZZ_REQUIRE(text.size() == 16, "a name with a segment gives 16 characters");
    for (std::size_t pair = 0; pair < 8; ++pair) {
        FUZZ_REQUIRE(text.substr(pair * 2, 2) == std::string_view(field).substr((7 - pair) * 2, 2),
                     "the text lists the field's pairs in reverse order");
    }
    std::string digits = field;
    std::replace_if(digits.begin(), digits.end(), [](char c) { return !std::isxdigit(static_cast<unsigned char>(c)); }, '0');
    FUZZ_REQUIRE(Identifier(id) == std::strtoull(digits.c_str(), nullptr, 16),
                 "the identifier is the number the segment spells");
}

void CheckRoundTrip(const ombrel::DeviceId& id, int subunit) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, Identifier(id));
    const std::string name = std::string("@device:sw:{71985F48-1CA1-11D3-9CC8-00C04F7971E0}\\talvexsim#vid_1d19&pid_0034#") +
                             static_cast<char>('0' + subunit) + "#" + hex + "#{71985f48-1ca1-11d3-9cc8-00c04f7971e0}";
    const ombrel::DeviceId again = ombrel::ParseDeviceId(name);
    FUZZ_REQUIRE(again.guid == id.guid, "an identifier written into a display name decodes to itself");
    FUZZ_REQUIRE(ombrel::ParseSubunit(name) == subunit, "the subunit digit of a well-formed name");
}

void CheckSubunit(std::string_view name) {
    const std::size_t last = name.rfind('#');
    const std::size_t second = last == std::string_view::npos || last == 0 ? std::string_view::npos : name.rfind('#', last - 1);
    const int subunit = ombrel::ParseSubunit(name);
    if (second == std::string_view::npos || second == 0) {
        FUZZ_REQUIRE(subunit == ombrel::kNoSubunit, "no character before the second-to-last '#'");
    } else {
        FUZZ_REQUIRE(subunit == static_cast<unsigned char>(name[second - 1]) - '0', "the character before it, minus '0'");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The library has the name as a C string: it ends at the first NUL.
    std::string_view name = fuzz::Text(data, size);
    name = name.substr(0, name.find('\0'));
    const ombrel::DeviceId id = ombrel::ParseDeviceId(name);
    CheckIdentifier(name, id);
    CheckSubunit(name);
    CheckRoundTrip(id, static_cast<int>(name.size() % 10));
    FUZZ_REQUIRE(ombrel::IsAcceptableDisplayName(name) == (name.size() <= ombrel::kMaxDisplayName),
                 "names that fit the 512-byte buffers are taken");
    return 0;
}
