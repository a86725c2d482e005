#include "TunerModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using models::Identify;
using models::Model;
using R = models::Reception;

namespace {

struct Row {
    int line, model, revision;
    const char* text;
    R reception;
    bool slot;
};

void ExpectModel(const Row& row) {
    const Model m = Identify(static_cast<std::uint8_t>(row.line), static_cast<std::uint8_t>(row.model),
                             static_cast<std::uint8_t>(row.revision));
    const std::string where = std::to_string(row.line) + "/" + std::to_string(row.model) + "/" +
                              std::to_string(row.revision);
    EXPECT_STREQ(m.deviceString, row.text) << where;
    EXPECT_EQ(m.reception, row.reception) << where;
    EXPECT_EQ(m.commonInterface, row.slot) << where;
}

}  // namespace

TEST(TunerModels, EveryRowOfProductLineOne) {
    const Row rows[] = {
        {1, 0x14, 0, "Pellary SATV", R::Satellite, false}, {1, 0x14, 4, "Pellary SATV", R::Satellite, false},
        {1, 0x24, 4, "Nubrik S2", R::Satellite, true},     {1, 0x24, 3, "Nubrik S/CI", R::Satellite, true},
        {1, 0x24, 0, "Nubrik S/CI", R::Satellite, true},   {1, 0x25, 1, "Nubrik T/CI", R::Terrestrial, true},
        {1, 0x26, 1, "Nubrik C/CI", R::Cable, true},       {1, 0x28, 2, "Holtrim", R::Satellite, true},
        {1, 0x34, 4, "Talvex S2", R::Satellite, true},     {1, 0x34, 3, "Talvex S/CI", R::Satellite, true},
        {1, 0x34, 5, "Talvex S/CI", R::Satellite, true},   {1, 0x35, 4, "Talvex T/CI", R::Terrestrial, true},
        {1, 0x36, 4, "Talvex C/CI", R::Cable, true},       {1, 0x37, 4, "Talvex ATSC", R::Atsc, false},
    };
    for (const Row& row : rows) ExpectModel(row);
}

TEST(TunerModels, EveryRowOfProductLineTen) {
    const Row rows[] = {
        {10, 0x1F, 0, "Ombrel DVB-S", R::Satellite, false},   {10, 0x20, 0, "Ombrel DVB-T", R::Terrestrial, false},
        {10, 0x21, 0, "Ombrel DVB-C", R::Cable, false},       {10, 0x22, 0, "Ombrel DVB-S-CI", R::Satellite, true},
        {10, 0x23, 0, "Ombrel DVB-T-CI", R::Terrestrial, true}, {10, 0x24, 0, "Ombrel DVB-C-CI", R::Cable, true},
        {10, 0x24, 4, "Ombrel DVB-C-CI", R::Cable, true},     {10, 0x24, 9, "Ombrel DVB-C-CI", R::Cable, true},
        {10, 0x25, 0, "Ombrel ATSC", R::Atsc, false},
    };
    for (const Row& row : rows) ExpectModel(row);
}

TEST(TunerModels, UnknownModelsAndLinesReceiveNothingAndHaveNoSlot) {
    ExpectModel({1, 0x00, 0, "Unknown Device Type", R::None, false});
    ExpectModel({1, 0x38, 4, "Unknown Device Type", R::None, false});
    ExpectModel({1, 0x1F, 0, "Unknown Device Type", R::None, false});   // a line-10 code in line 1
    ExpectModel({10, 0x34, 4, "Unknown Device Type", R::None, false});  // a line-1 code in line 10
    ExpectModel({10, 0xFF, 0, "Unknown Device Type", R::None, false});
    for (int line : {0, 2, 9, 11, 255}) ExpectModel({line, 0x34, 4, "Error", R::None, false});
}

TEST(TunerModels, EveryKnownNameReceivesSomethingAndFitsTheDeviceStringBuffer) {
    std::size_t longest = 0;
    for (int line = 0; line < 256; ++line) {
        for (int model = 0; model < 256; ++model) {
            for (int revision : {0, 3, 4}) {
                const Model m = Identify(static_cast<std::uint8_t>(line), static_cast<std::uint8_t>(model),
                                         static_cast<std::uint8_t>(revision));
                longest = std::max(longest, std::string(m.deviceString).size() + 1);
                const bool known = std::string(m.deviceString) != models::kUnidentified &&
                                   std::string(m.deviceString) != models::kUnknownModel;
                EXPECT_EQ(known, m.reception != R::None) << line << "/" << model;
                EXPECT_TRUE(known || !m.commonInterface) << line << "/" << model;
            }
        }
    }
    EXPECT_EQ(longest, 20u);  // "Unknown Device Type" with its NUL; the buffer holds 51
}

TEST(TunerModels, ReceptionNames) {
    EXPECT_STREQ(models::ReceptionName(R::None), "none");
    EXPECT_STREQ(models::ReceptionName(R::Satellite), "satellite");
    EXPECT_STREQ(models::ReceptionName(R::Terrestrial), "terrestrial");
    EXPECT_STREQ(models::ReceptionName(R::Atsc), "ATSC");
    EXPECT_STREQ(models::ReceptionName(R::Cable), "cable");
}
