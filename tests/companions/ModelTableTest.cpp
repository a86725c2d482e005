#include <gtest/gtest.h>

#include "ModelTable.h"
#include "TunerView.h"

namespace companion {
namespace {

std::string NameOf(uint8_t line, uint8_t model, uint8_t revision) {
    const auto found = LookUpModel(line, model, revision);
    return found ? std::string(found->name) : "<none>";
}

TEST(ModelTable, RevisionDecidesBetweenTheTwoModelsOfOneCode) {
    EXPECT_EQ(NameOf(1, 0x34, 4), "Talvex S2");
    EXPECT_EQ(NameOf(1, 0x34, 3), "Talvex S/CI");
    EXPECT_EQ(NameOf(1, 0x34, 5), "Talvex S/CI");
    EXPECT_EQ(NameOf(1, 0x24, 4), "Nubrik S2");
    EXPECT_EQ(NameOf(1, 0x24, 0), "Nubrik S/CI");
}

TEST(ModelTable, ModelCodeMeansAnotherModelInEachProductLine) {
    EXPECT_EQ(NameOf(10, 0x24, 4), "Ombrel DVB-C-CI");
    EXPECT_EQ(NameOf(10, 0x24, 0), "Ombrel DVB-C-CI");
    EXPECT_EQ(NameOf(1, 0x1F, 0), "Unknown Device Type");
    EXPECT_EQ(NameOf(10, 0x1F, 0), "Ombrel DVB-S");
}

TEST(ModelTable, OtherProductLinesAreNoTunersOfTheFamily) {
    EXPECT_FALSE(LookUpModel(0, 0x34, 4));
    EXPECT_FALSE(LookUpModel(2, 0x34, 4));
    EXPECT_FALSE(LookUpModel(11, 0x22, 0));
}

TEST(ModelTable, LookUpByNameIsExact) {
    const auto s2 = LookUpModelByName("Talvex S2");
    ASSERT_TRUE(s2);
    EXPECT_EQ(s2->name, "Talvex S2");
    EXPECT_TRUE(LookUpModelByName("Ombrel ATSC"));
    EXPECT_FALSE(LookUpModelByName("talvex s2"));
    EXPECT_FALSE(LookUpModelByName("Talvex S2 "));
    EXPECT_FALSE(LookUpModelByName("Error"));
    EXPECT_FALSE(LookUpModelByName(""));
}

TEST(Reception, FollowsTheHeadersFamiliesByIdentificationThenByName) {
    struct Case {
        uint8_t line, model, revision;
        Reception reception;
    };
    const Case cases[] = {
        {1, 0x14, 1, Reception::Satellite},    {1, 0x24, 4, Reception::Satellite},
        {1, 0x24, 0, Reception::Satellite},    {1, 0x28, 0, Reception::Satellite},
        {1, 0x34, 4, Reception::Satellite},    {1, 0x34, 1, Reception::Satellite},
        {10, 0x1F, 0, Reception::Satellite},   {10, 0x22, 0, Reception::Satellite},
        {1, 0x25, 0, Reception::Terrestrial},  {1, 0x35, 1, Reception::Terrestrial},
        {10, 0x20, 0, Reception::Terrestrial}, {10, 0x23, 0, Reception::Terrestrial},
        {1, 0x37, 0, Reception::Atsc},         {10, 0x25, 0, Reception::Atsc},
        {1, 0x26, 1, Reception::Cable},        {1, 0x36, 0, Reception::Cable},
        {10, 0x21, 0, Reception::Cable},       {10, 0x24, 0, Reception::Cable},
        {1, 0x99, 0, Reception::Unknown},      {2, 0x34, 4, Reception::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReceptionOf(Identification{c.line, c.model, c.revision}, "Talvex C/CI"), c.reception)
            << int(c.line) << "/" << int(c.model);
    }
    EXPECT_EQ(ReceptionOf(std::nullopt, "Talvex T/CI"), Reception::Terrestrial);
    EXPECT_EQ(ReceptionOf(std::nullopt, "Ombrel ATSC"), Reception::Atsc);
    EXPECT_EQ(ReceptionOf(std::nullopt, "Unknown Device Type"), Reception::Unknown);
    EXPECT_EQ(ReceptionOf(std::nullopt, "Error"), Reception::Unknown);
}

TunerInfo Tuner(std::string model, std::string guid, bool bda) {
    TunerInfo tuner;
    tuner.opened = true;
    tuner.model = std::move(model);
    tuner.guid = std::move(guid);
    tuner.bda = bda;
    return tuner;
}

TEST(TunerView, RowsAreTabSeparatedFields) {
    const TunerInfo wdm = Tuner("Talvex S2", "efcdab7856341200", false);
    const TunerInfo bda = Tuner("Pellary SATV", "ab12000000000000", true);
    EXPECT_EQ(RemoteRow(wdm), "Talvex S2\tefcdab7856341200\tWDM");
    EXPECT_EQ(RemoteRow(bda), "Pellary SATV\tab12000000000000\tBDA");
}

TEST(TunerView, UnopenedTunerIsShownAsSuch) {
    const TunerInfo unopened;
    EXPECT_EQ(RemoteRow(unopened), "(could not be opened)");
}

TEST(TunerView, KeyFindsTheSameDeviceInANewReading) {
    const std::vector<TunerInfo> tuners{TunerInfo{}, Tuner("Talvex S2", "efcdab7856341200", false),
                                        Tuner("Talvex S2", "efcdab7856341200", true)};
    EXPECT_EQ(IndexOf(tuners, TunerKey{"efcdab7856341200", false}), 1u);
    EXPECT_EQ(IndexOf(tuners, TunerKey{"efcdab7856341200", true}), 2u);
    EXPECT_EQ(IndexOf(tuners, TunerKey{"ab12000000000000", false}), std::nullopt);
    EXPECT_EQ(KeyOf(tuners[0]), std::nullopt);
    // An unopened device has an empty GUID, which must not match a key with one.
    EXPECT_EQ(IndexOf(tuners, TunerKey{"", false}), std::nullopt);
}

TEST(TunerView, StatusLinesCountTuners) {
    const std::vector<TunerInfo> none;
    EXPECT_EQ(RemoteStatus(none), "No tuner attached.");
    std::vector<TunerInfo> tuners{Tuner("Talvex S2", "1", false)};
    EXPECT_EQ(RemoteStatus(tuners), "1 tuner attached.");
    tuners.push_back(Tuner("Pellary SATV", "2", true));
    tuners.push_back(TunerInfo{});  // listed, not opened
    EXPECT_EQ(RemoteStatus(tuners), "3 tuners attached.");
}

}  // namespace
}  // namespace companion
