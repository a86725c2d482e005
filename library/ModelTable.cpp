#include "ModelTable.h"

namespace ombrel {
namespace {

// Revision 0 in a row means "any revision"; rows with a revision come first.
struct ModelRow {
    std::uint8_t modelCode;
    std::uint8_t hardwareRevision;
    const char* deviceString;
    bool ciCapable;
};

constexpr ModelRow kLine1[] = {
    {0x14, 0, "Pellary SATV", false},
    {0x24, 4, "Nubrik S2", true},
    {0x24, 0, "Nubrik S/CI", true},
    {0x25, 0, "Nubrik T/CI", true},
    {0x26, 0, "Nubrik C/CI", true},
    {0x28, 0, "Holtrim", true},
    {0x34, 4, "Talvex S2", true},
    {0x34, 0, "Talvex S/CI", true},
    {0x35, 0, "Talvex T/CI", true},
    {0x36, 0, "Talvex C/CI", true},
    {0x37, 0, "Talvex ATSC", false},
};

constexpr ModelRow kLine10[] = {
    {0x1F, 0, "Ombrel DVB-S", false},
    {0x20, 0, "Ombrel DVB-T", false},
    {0x21, 0, "Ombrel DVB-C", false},
    {0x22, 0, "Ombrel DVB-S-CI", true},
    {0x23, 0, "Ombrel DVB-T-CI", true},
    {0x24, 0, "Ombrel DVB-C-CI", true},
    {0x25, 0, "Ombrel ATSC", false},
};

template <std::size_t N>
ModelInfo Lookup(const ModelRow (&rows)[N], std::uint8_t modelCode, std::uint8_t revision) {
    for (const ModelRow& row : rows) {
        if (row.modelCode != modelCode) continue;
        if (row.hardwareRevision != 0 && row.hardwareRevision != revision) continue;
        return {row.deviceString, row.ciCapable};
    }
    return {"Unknown Device Type", false};
}

}  // namespace

ModelInfo IdentifyModel(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision) {
    switch (productLine) {
    case 1: return Lookup(kLine1, modelCode, hardwareRevision);
    case 10: return Lookup(kLine10, modelCode, hardwareRevision);
    default: return {kUnidentified, false};
    }
}

}  // namespace ombrel
