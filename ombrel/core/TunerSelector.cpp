#include "TunerSelector.h"

#include "TunerList.h"

#include <algorithm>
#include <vector>

namespace ombrel_cli {
namespace {

constexpr std::size_t kMaxIndexDigits = 3;
constexpr std::size_t kGuidDigits = 16;

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool AllOf(std::string_view text, bool (*test)(char)) { return std::all_of(text.begin(), text.end(), test); }

std::string CountText(std::size_t count) {
    if (count == 0) return "no tuner is attached";
    if (count == 1) return "1 tuner is attached (index 0)";
    return std::to_string(count) + " tuners are attached (index 0 to " + std::to_string(count - 1) + ")";
}

// The end of every "no tuner" message: what a <tuner> may be.
constexpr std::string_view kForms =
    ". A <tuner> is an index as 'ombrel list' shows it, a GUID or its start (0x0100E5), or a box's "
    "identifier as 'ombrel info' and tunersim show it (00a1b2c3d4e50001, 0x allowed)";

std::string NotFound(std::string what, std::size_t count) { return what + ": " + CountText(count) + std::string(kForms); }

}  // namespace

std::string NormalizeGuid(std::string_view guid) { return ToUpperAscii(std::string(guid)); }

std::optional<TunerSelector> ParseTunerSelector(std::string_view text, std::string& error) {
    TunerSelector selector;
    if (!text.empty() && text.size() <= kMaxIndexDigits && AllOf(text, &IsDecimal)) {
        selector.kind = TunerSelector::Kind::Index;
        selector.index = std::stoul(std::string(text));
        return selector;
    }
    std::string_view digits = text;
    if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
    if (digits.empty() || digits.size() > kGuidDigits || !AllOf(digits, &IsHex)) {
        error = "'" + std::string(text) + "' is neither a tuner index nor a GUID";
        return std::nullopt;
    }
    selector.kind = TunerSelector::Kind::Guid;
    selector.guidPrefix = NormalizeGuid(digits);
    if (digits.size() == kGuidDigits) selector.identifierGuid = SwapByteOrder(digits);
    return selector;
}

std::string SwapByteOrder(std::string_view digits) {
    std::string swapped;
    for (std::size_t at = digits.size(); at >= 2; at -= 2) swapped += digits.substr(at - 2, 2);
    return NormalizeGuid(swapped);
}

std::optional<std::size_t> ResolveTuner(const TunerSelector& selector, std::span<const TunerIdentity> tuners,
                                        std::string& error) {
    if (selector.kind == TunerSelector::Kind::Index) {
        for (std::size_t i = 0; i < tuners.size(); ++i) {
            if (tuners[i].index == selector.index) return i;
        }
        error = NotFound("no tuner with index " + std::to_string(selector.index), tuners.size());
        return std::nullopt;
    }

    std::optional<std::size_t> first;
    std::vector<std::string> boxes;  // distinct GUIDs that fit
    for (std::size_t i = 0; i < tuners.size(); ++i) {
        // A device whose name holds no identifier has "Error" for a GUID: it matches nothing.
        if (!AllOf(tuners[i].guid, &IsHex)) continue;
        const std::string guid = NormalizeGuid(tuners[i].guid);
        if (guid.compare(0, selector.guidPrefix.size(), selector.guidPrefix) != 0 && guid != selector.identifierGuid) continue;
        if (!first) first = i;
        if (std::find(boxes.begin(), boxes.end(), guid) == boxes.end()) boxes.push_back(guid);
    }
    if (boxes.size() > 1) {
        error = (selector.identifierGuid ? "GUID or identifier " : "GUID prefix ") + selector.guidPrefix +
                " is ambiguous: it fits";
        for (std::size_t i = 0; i < boxes.size(); ++i) error += (i == 0 ? " " : ", ") + boxes[i];
        return std::nullopt;
    }
    if (!first) {
        error = NotFound((selector.identifierGuid ? "no tuner with GUID or identifier " : "no tuner with a GUID beginning ") +
                             selector.guidPrefix,
                         tuners.size());
        return std::nullopt;
    }
    return first;
}

}  // namespace ombrel_cli
