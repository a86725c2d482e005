// The <tuner> argument: an index as 'ombrel list' shows it, a GUID or the start of one,
// or the box's identifier (as 'ombrel info' and tunersim show it: the GUID's eight bytes
// in the other order), and its resolution against the tuners attached right now.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

struct TunerSelector {
    enum class Kind { Index, Guid };
    Kind kind = Kind::Index;
    unsigned long index = 0;
    std::string guidPrefix;  // upper-case hex digits, without "0x"
    // Sixteen digits may name a box by its identifier too: the GUID that has its bytes.
    std::optional<std::string> identifierGuid;
};

// Up to three decimal digits: an index. Otherwise one to sixteen hex digits, optionally
// after "0x": the start of a GUID, and with sixteen digits also an identifier. Anything
// else: no value and `error` says why.
std::optional<TunerSelector> ParseTunerSelector(std::string_view text, std::string& error);

// What resolution needs to know of an attached tuner.
struct TunerIdentity {
    unsigned long index = 0;
    std::string guid;  // the library's GUID text
};

// The position in `tuners` of the selected one; no value and `error` says why (no such
// index, no GUID that begins so and no such identifier, or a text that fits several
// boxes) and which forms a <tuner> takes. A GUID that fits several entries of one box
// (both driver models) takes the first of them.
std::optional<std::size_t> ResolveTuner(const TunerSelector& selector, std::span<const TunerIdentity> tuners,
                                        std::string& error);

// ASCII upper-casing of a GUID text.
std::string NormalizeGuid(std::string_view guid);

// The other spelling of a box's sixteen hex digits: a GUID's identifier, or an
// identifier's GUID (the eight bytes in the other order), upper-case.
std::string SwapByteOrder(std::string_view sixteenHexDigits);

}  // namespace ombrel_cli
