#include "ModelTable.h"

#include <array>

namespace companion {
namespace {

constexpr int kAnyRevision = -1;

struct Row {
    uint8_t productLine;
    uint8_t modelCode;
    int hardwareRevision;  // kAnyRevision, or the one revision the row stands for
    ModelInfo model;
};

// Rows for one model code that depend on the revision come first: the first match wins.
constexpr std::array kModels{
    Row{1, 0x14, kAnyRevision, {"Pellary SATV", Reception::Satellite}},
    Row{1, 0x24, 4, {"Nubrik S2", Reception::Satellite}},
    Row{1, 0x24, kAnyRevision, {"Nubrik S/CI", Reception::Satellite}},
    Row{1, 0x25, kAnyRevision, {"Nubrik T/CI", Reception::Terrestrial}},
    Row{1, 0x26, kAnyRevision, {"Nubrik C/CI", Reception::Cable}},
    Row{1, 0x28, kAnyRevision, {"Holtrim", Reception::Satellite}},
    Row{1, 0x34, 4, {"Talvex S2", Reception::Satellite}},
    Row{1, 0x34, kAnyRevision, {"Talvex S/CI", Reception::Satellite}},
    Row{1, 0x35, kAnyRevision, {"Talvex T/CI", Reception::Terrestrial}},
    Row{1, 0x36, kAnyRevision, {"Talvex C/CI", Reception::Cable}},
    Row{1, 0x37, kAnyRevision, {"Talvex ATSC", Reception::Atsc}},
    Row{10, 0x1F, kAnyRevision, {"Ombrel DVB-S", Reception::Satellite}},
    Row{10, 0x20, kAnyRevision, {"Ombrel DVB-T", Reception::Terrestrial}},
    Row{10, 0x21, kAnyRevision, {"Ombrel DVB-C", Reception::Cable}},
    Row{10, 0x22, kAnyRevision, {"Ombrel DVB-S-CI", Reception::Satellite}},
    Row{10, 0x23, kAnyRevision, {"Ombrel DVB-T-CI", Reception::Terrestrial}},
    Row{10, 0x24, kAnyRevision, {"Ombrel DVB-C-CI", Reception::Cable}},
    Row{10, 0x25, kAnyRevision, {"Ombrel ATSC", Reception::Atsc}},
};

constexpr ModelInfo kUnknownModel{"Unknown Device Type", Reception::Unknown};

}  // namespace

std::optional<ModelInfo> LookUpModel(uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision) {
    if (productLine != 1 && productLine != 10) {
        return std::nullopt;
    }
    for (const Row& row : kModels) {
        if (row.productLine == productLine && row.modelCode == modelCode &&
            (row.hardwareRevision == kAnyRevision || row.hardwareRevision == hardwareRevision)) {
            return row.model;
        }
    }
    return kUnknownModel;
}

std::optional<ModelInfo> LookUpModelByName(std::string_view name) {
    for (const Row& row : kModels) {
        if (row.model.name == name) {
            return row.model;
        }
    }
    return std::nullopt;
}

Reception ReceptionOf(const std::optional<Identification>& identification, std::string_view modelName) {
    const auto model = identification
                           ? LookUpModel((*identification)[0], (*identification)[1], (*identification)[2])
                           : LookUpModelByName(modelName);
    return model ? model->reception : Reception::Unknown;
}

}  // namespace companion
