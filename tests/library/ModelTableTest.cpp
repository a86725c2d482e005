#include "ModelTable.h"

#include <gtest/gtest.h>

#include <string>

using namespace ombrel;

namespace {

struct Row {
    int line, model, revision;
    const char* text;
    bool ci;
};

void ExpectModel(const Row& row) {
    const ModelInfo info = IdentifyModel(static_cast<std::uint8_t>(row.line), static_cast<std::uint8_t>(row.model),
                                         static_cast<std::uint8_t>(row.revision));
    EXPECT_STREQ(info.deviceString, row.text) << row.line << "/" << row.model << "/" << row.revision;
    EXPECT_EQ(info.ciCapable, row.ci) << row.line << "/" << row.model << "/" << row.revision;
}

}  // namespace

TEST(ModelTable, EveryRowOfProductLineOne) {
    const Row rows[] = {
        {1, 0x14, 0, "Pellary SATV", false}, {1, 0x14, 4, "Pellary SATV", false},
        {1, 0x24, 4, "Nubrik S2", true},     {1, 0x24, 3, "Nubrik S/CI", true},
        {1, 0x24, 0, "Nubrik S/CI", true},   {1, 0x25, 1, "Nubrik T/CI", true},
        {1, 0x26, 1, "Nubrik C/CI", true},   {1, 0x28, 2, "Holtrim", true},
        {1, 0x34, 4, "Talvex S2", true},     {1, 0x34, 3, "Talvex S/CI", true},
        {1, 0x34, 5, "Talvex S/CI", true},   {1, 0x35, 4, "Talvex T/CI", true},
        {1, 0x36, 4, "Talvex C/CI", true},   {1, 0x37, 4, "Talvex ATSC", false},
    };
    for (const Row& row : rows) ExpectModel(row);
}

TEST(ModelTable, EveryRowOfProductLineTen) {
    const Row rows[] = {
        {10, 0x1F, 0, "Ombrel DVB-S", false},   {10, 0x20, 0, "Ombrel DVB-T", false},
        {10, 0x21, 0, "Ombrel DVB-C", false},   {10, 0x22, 0, "Ombrel DVB-S-CI", true},
        {10, 0x23, 0, "Ombrel DVB-T-CI", true}, {10, 0x24, 0, "Ombrel DVB-C-CI", true},
        {10, 0x24, 4, "Ombrel DVB-C-CI", true}, {10, 0x24, 9, "Ombrel DVB-C-CI", true},
        {10, 0x25, 0, "Ombrel ATSC", false},
    };
    for (const Row& row : rows) ExpectModel(row);
}

TEST(ModelTable, UnknownModelsAndLines) {
    ExpectModel({1, 0x00, 0, "Unknown Device Type", false});
    ExpectModel({1, 0x38, 4, "Unknown Device Type", false});
    ExpectModel({1, 0x1F, 0, "Unknown Device Type", false});  // a line-10 code in line 1
    ExpectModel({10, 0x34, 4, "Unknown Device Type", false});  // a line-1 code in line 10
    ExpectModel({10, 0xFF, 0, "Unknown Device Type", false});
    for (int line : {0, 2, 9, 11, 255}) ExpectModel({line, 0x34, 4, "Error", false});
}

TEST(ModelTable, LongestTextFitsTheDeviceStringBuffer) {
    std::size_t longest = 0;
    for (int line : {1, 10}) {
        for (int model = 0; model < 256; ++model) {
            for (int revision : {0, 4}) {
                const ModelInfo info = IdentifyModel(static_cast<std::uint8_t>(line), static_cast<std::uint8_t>(model),
                                                     static_cast<std::uint8_t>(revision));
                longest = std::max(longest, std::string(info.deviceString).size() + 1);
            }
        }
    }
    EXPECT_EQ(longest, 20u);
}
