#include "TunerView.h"

namespace companion {
namespace {

constexpr std::string_view kNotOpened = "(could not be opened)";

std::string Fields(const TunerInfo& tuner, std::string_view last) {
    std::string row = tuner.model;
    row += '\t';
    row += tuner.guid;
    row += '\t';
    row += last;
    return row;
}

std::string CountOfTuners(size_t n) {
    return std::to_string(n) + (n == 1 ? " tuner" : " tuners");
}

}  // namespace

std::optional<TunerKey> KeyOf(const TunerInfo& tuner) {
    if (!tuner.opened) {
        return std::nullopt;
    }
    return TunerKey{tuner.guid, tuner.bda};
}

std::optional<size_t> IndexOf(const std::vector<TunerInfo>& tuners, const TunerKey& key) {
    for (size_t i = 0; i < tuners.size(); ++i) {
        if (KeyOf(tuners[i]) == key) {
            return i;
        }
    }
    return std::nullopt;
}

std::string RemoteRow(const TunerInfo& tuner) {
    if (!tuner.opened) {
        return std::string(kNotOpened);
    }
    return Fields(tuner, tuner.bda ? "BDA" : "WDM");
}

std::string RemoteStatus(const std::vector<TunerInfo>& tuners) {
    if (tuners.empty()) {
        return "No tuner attached.";
    }
    return CountOfTuners(tuners.size()) + " attached.";
}

}  // namespace companion
