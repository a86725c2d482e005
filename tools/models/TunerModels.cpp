#include "TunerModels.h"

namespace models {
namespace {

constexpr int kAnyRevision = -1;

struct Row {
    std::uint8_t productLine;
    std::uint8_t modelCode;
    int hardwareRevision;  // kAnyRevision, or the one revision the row stands for
    Model model;
};

using R = Reception;

// Rows of one model code that name a revision come before its catch-all row: the first
// match wins. Model code 0x24 is another model in each product line.
constexpr Row kRows[] = {
    {1, 0x14, kAnyRevision, {"Pellary SATV", R::Satellite, false}},
    {1, 0x24, 4, {"Nubrik S2", R::Satellite, true}},
    {1, 0x24, kAnyRevision, {"Nubrik S/CI", R::Satellite, true}},
    {1, 0x25, kAnyRevision, {"Nubrik T/CI", R::Terrestrial, true}},
    {1, 0x26, kAnyRevision, {"Nubrik C/CI", R::Cable, true}},
    {1, 0x28, kAnyRevision, {"Holtrim", R::Satellite, true}},
    {1, 0x34, 4, {"Talvex S2", R::Satellite, true}},
    {1, 0x34, kAnyRevision, {"Talvex S/CI", R::Satellite, true}},
    {1, 0x35, kAnyRevision, {"Talvex T/CI", R::Terrestrial, true}},
    {1, 0x36, kAnyRevision, {"Talvex C/CI", R::Cable, true}},
    {1, 0x37, kAnyRevision, {"Talvex ATSC", R::Atsc, false}},
    {10, 0x1F, kAnyRevision, {"Ombrel DVB-S", R::Satellite, false}},
    {10, 0x20, kAnyRevision, {"Ombrel DVB-T", R::Terrestrial, false}},
    {10, 0x21, kAnyRevision, {"Ombrel DVB-C", R::Cable, false}},
    {10, 0x22, kAnyRevision, {"Ombrel DVB-S-CI", R::Satellite, true}},
    {10, 0x23, kAnyRevision, {"Ombrel DVB-T-CI", R::Terrestrial, true}},
    {10, 0x24, kAnyRevision, {"Ombrel DVB-C-CI", R::Cable, true}},
    {10, 0x25, kAnyRevision, {"Ombrel ATSC", R::Atsc, false}},
};

}  // namespace

Model Identify(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision) {
    if (productLine != 1 && productLine != 10) return {kUnidentified, Reception::None, false};
    for (const Row& row : kRows) {
        if (row.productLine == productLine && row.modelCode == modelCode &&
            (row.hardwareRevision == kAnyRevision || row.hardwareRevision == hardwareRevision)) {
            return row.model;
        }
    }
    return {kUnknownModel, Reception::None, false};
}

const char* ReceptionName(Reception reception) {
    switch (reception) {
    case Reception::Satellite: return "satellite";
    case Reception::Terrestrial: return "terrestrial";
    case Reception::Atsc: return "ATSC";
    case Reception::Cable: return "cable";
    case Reception::None: break;
    }
    return "none";
}

}  // namespace models
