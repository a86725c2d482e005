#include "TunerView.h"

#include "ModelTable.h"

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

CiSlot CiSlotOf(const std::optional<Identification>& identification, std::string_view modelName) {
    if (identification) {
        const auto model = LookUpModel((*identification)[0], (*identification)[1], (*identification)[2]);
        return model && model->ciSlot ? CiSlot::Present : CiSlot::Absent;
    }
    if (const auto model = LookUpModelByName(modelName)) {
        return model->ciSlot ? CiSlot::Present : CiSlot::Absent;
    }
    return CiSlot::Unknown;
}

Reception ReceptionOf(const std::optional<Identification>& identification, std::string_view modelName) {
    const auto model = identification
                           ? LookUpModel((*identification)[0], (*identification)[1], (*identification)[2])
                           : LookUpModelByName(modelName);
    return model ? model->reception : Reception::Unknown;
}

std::string RemoteRow(const TunerInfo& tuner) {
    if (!tuner.opened) {
        return std::string(kNotOpened);
    }
    return Fields(tuner, tuner.bda ? "BDA" : "WDM");
}

std::string CiRow(const TunerInfo& tuner) {
    if (!tuner.opened) {
        return std::string(kNotOpened);
    }
    switch (tuner.ci) {
    case CiSlot::Present:
        return Fields(tuner, "CI slot");
    case CiSlot::Absent:
        return Fields(tuner, "no CI slot");
    case CiSlot::Unknown:
        break;
    }
    return Fields(tuner, "CI slot unknown");
}

std::string RemoteStatus(const std::vector<TunerInfo>& tuners) {
    if (tuners.empty()) {
        return "No tuner attached.";
    }
    return CountOfTuners(tuners.size()) + " attached.";
}

std::string CiStatus(const std::vector<TunerInfo>& tuners) {
    if (tuners.empty()) {
        return "No tuner attached.";
    }
    size_t withSlot = 0;
    for (const TunerInfo& tuner : tuners) {
        if (tuner.opened && tuner.ci == CiSlot::Present) {
            ++withSlot;
        }
    }
    const std::string total = CountOfTuners(tuners.size());
    if (withSlot == 0) {
        return total + " attached, none with a Common Interface slot.";
    }
    return total + " attached, " + std::to_string(withSlot) + " with a Common Interface slot.";
}

}  // namespace companion
