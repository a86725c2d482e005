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
    Row{1, 0x14, kAnyRevision, {"Pellary SATV"}},
    Row{1, 0x24, 4, {"Nubrik S2"}},
    Row{1, 0x24, kAnyRevision, {"Nubrik S/CI"}},
    Row{1, 0x25, kAnyRevision, {"Nubrik T/CI"}},
    Row{1, 0x26, kAnyRevision, {"Nubrik C/CI"}},
    Row{1, 0x28, kAnyRevision, {"Holtrim"}},
    Row{1, 0x34, 4, {"Talvex S2"}},
    Row{1, 0x34, kAnyRevision, {"Talvex S/CI"}},
    Row{1, 0x35, kAnyRevision, {"Talvex T/CI"}},
    Row{1, 0x36, kAnyRevision, {"Talvex C/CI"}},
    Row{1, 0x37, kAnyRevision, {"Talvex ATSC"}},
    Row{10, 0x1F, kAnyRevision, {"Ombrel DVB-S"}},
    Row{10, 0x20, kAnyRevision, {"Ombrel DVB-T"}},
    Row{10, 0x21, kAnyRevision, {"Ombrel DVB-C"}},
    Row{10, 0x22, kAnyRevision, {"Ombrel DVB-S-CI"}},
    Row{10, 0x23, kAnyRevision, {"Ombrel DVB-T-CI"}},
    Row{10, 0x24, kAnyRevision, {"Ombrel DVB-C-CI"}},
    Row{10, 0x25, kAnyRevision, {"Ombrel ATSC"}},
};

constexpr ModelInfo kUnknownModel{"Unknown Device Type"};

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

}  // namespace companion
