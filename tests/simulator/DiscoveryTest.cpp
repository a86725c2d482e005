// The simulated boxes as the system device enumerator sees them: categories, display
// and friendly names, binding, hot-plug.
#include <gtest/gtest.h>

#include <algorithm>

#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

class Discovery : public ::testing::Test {
protected:
    void SetUp() override { tunersim::Reset(false); }
    void TearDown() override { tunersim::Reset(false); }
    ComApartment com_;
};

std::string DisplayNameIn(const tunersim::DeviceInfo& info, const char* categoryText) {
    for (const auto& name : info.displayNames) {
        if (name.find(categoryText) != std::string::npos) return name;
    }
    return {};
}

constexpr char kWdmText[] = "{860BB310-5D01-11D0-BD3B-00A0C911CE86}";
constexpr char kTunerText[] = "{71985F48-1CA1-11D3-9CC8-00C04F7971E0}";
constexpr char kReceiverText[] = "{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}";

std::size_t CountOurs(const GUID& category) {
    const auto all = Enumerate(category);
    return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [](const Listed& l) {
        return l.displayName.find("talvexsim#") != std::string::npos;
    }));
}

TEST_F(Discovery, EachModelAppearsInItsOwnCategoriesWithItsNames) {
    auto wdm = tunersim::Preset("talvex-s2");
    wdm.id = "0012345678abcdef";
    wdm.subunit = 3;
    auto bda = tunersim::Preset("talvex-cci-r1");
    bda.id = "00000000000000b1";
    bda.models = tunersim::kBda;
    auto both = tunersim::Preset("nubrik-tci");
    both.id = "00000000000000b2";
    both.models = tunersim::kBoth;
    both.wdmFriendlyName = "Holtrim Capture";
    for (const auto* profile : {&wdm, &bda, &both}) tunersim::Plug(*profile, false);

    const auto wdmList = Enumerate(kWdmCategory);
    const auto tunerList = Enumerate(kTunerCategory);
    const auto receiverList = Enumerate(kReceiverCategory);

    const auto wdmInfo = *tunersim::Find(wdm.id);
    ASSERT_EQ(wdmInfo.displayNames.size(), 1u);
    const std::string wdmName = wdmInfo.displayNames[0];
    EXPECT_EQ(wdmName.rfind(std::string("@device:sw:") + kWdmText + "\\", 0), 0u) << wdmName;
    // Subunit digit, then the id between the last two '#'.
    EXPECT_NE(wdmName.find("#3#0012345678abcdef#{860bb310-5d01-11d0-bd3b-00a0c911ce86}"),
              std::string::npos)
        << wdmName;
    const Listed* listed = FindListed(wdmList, wdmName);
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->friendlyName, "Ombrel WDM");
    EXPECT_EQ(CountOurs(kTunerCategory), 2u);

    const auto bdaInfo = *tunersim::Find(bda.id);
    ASSERT_EQ(bdaInfo.displayNames.size(), 2u);
    listed = FindListed(tunerList, DisplayNameIn(bdaInfo, kTunerText));
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->friendlyName, "Talvex BDA Tuner DVBC");
    listed = FindListed(receiverList, DisplayNameIn(bdaInfo, kReceiverText));
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->friendlyName, "Talvex BDA Receiver DVBC");
    EXPECT_EQ(FindListed(wdmList, DisplayNameIn(bdaInfo, kTunerText)), nullptr);

    const auto bothInfo = *tunersim::Find(both.id);
    ASSERT_EQ(bothInfo.displayNames.size(), 3u);
    listed = FindListed(wdmList, DisplayNameIn(bothInfo, kWdmText));
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->friendlyName, "Holtrim Capture");
    // Tuner and receiver share the id segment.
    const std::string tunerName = DisplayNameIn(bothInfo, kTunerText);
    const std::string receiverName = DisplayNameIn(bothInfo, kReceiverText);
    auto idSegment = [](const std::string& name) {
        const auto last = name.rfind('#');
        const auto before = name.rfind('#', last - 1);
        return name.substr(before + 1, last - before - 1);
    };
    EXPECT_EQ(idSegment(tunerName), "00000000000000b2");
    EXPECT_EQ(idSegment(receiverName), "00000000000000b2");
    EXPECT_NE(FindListed(tunerList, tunerName), nullptr);
    EXPECT_NE(FindListed(receiverList, receiverName), nullptr);
}

TEST_F(Discovery, ChosenNamesAndOptionsAreKeptExactly) {
    auto profile = tunersim::Preset("talvex-s2");
    profile.models = tunersim::kBoth;
    profile.withReceiver = false;
    profile.wdmFriendlyName = "ombrel wdm";  // any text is allowed
    profile.tunerInstanceName = "odd&name{x}#no#pattern";
    const std::string id = tunersim::Plug(profile, false);
    EXPECT_TRUE(tunersim::Find(id).has_value());
    EXPECT_EQ(id.size(), 16u);

    const auto info = *tunersim::Find(id);
    EXPECT_EQ(DisplayNameIn(info, kReceiverText), "");
    EXPECT_EQ(CountOurs(kReceiverCategory), 0u);
    const auto tuners = Enumerate(kTunerCategory);
    const Listed* tuner = FindListed(tuners,
                                     std::string("@device:sw:") + kTunerText +
                                         "\\odd&name{x}#no#pattern");
    ASSERT_NE(tuner, nullptr);
    const auto wdms = Enumerate(kWdmCategory);
    const Listed* wdm = FindListed(wdms, DisplayNameIn(info, kWdmText));
    ASSERT_NE(wdm, nullptr);
    EXPECT_EQ(wdm->friendlyName, "ombrel wdm");

    // A raw name binds to the same box like a standard one.
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(tuner->moniker->BindToObject(nullptr, nullptr, IID_IKsPropertySet,
                                           reinterpret_cast<void**>(properties.GetAddressOf())),
              S_OK);
    EXPECT_EQ(GetProperty(properties.Get(), 11, 8).hr, S_OK);
}

TEST_F(Discovery, GeneratedIdsAreDistinctHexAndPlugOrderIsKept) {
    std::vector<std::string> ids;
    for (int i = 0; i < 4; ++i) ids.push_back(tunersim::Plug(tunersim::Preset("pellary"), false));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i].find_first_not_of("0123456789abcdef"), std::string::npos) << ids[i];
        for (std::size_t k = i + 1; k < ids.size(); ++k) EXPECT_NE(ids[i], ids[k]);
    }
    const auto listed = tunersim::List();
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(CountOurs(kWdmCategory), 4u);
}

TEST_F(Discovery, UnplugRemovesFiltersAndReplugBringsBackTheSameDisplayNames) {
    auto profile = tunersim::Preset("talvex-sci-r1");
    profile.id = "00000000000000c1";
    profile.models = tunersim::kBoth;
    tunersim::Plug(profile, false);
    const auto before = tunersim::Find(profile.id)->displayNames;
    ASSERT_EQ(before.size(), 3u);
    tunersim::SetFirmwareVersion(profile.id, 9, 8, 7, 0x1234);

    tunersim::Unplug(profile.id, false);
    EXPECT_FALSE(tunersim::Find(profile.id)->plugged);
    EXPECT_EQ(CountOurs(kWdmCategory), 0u);
    EXPECT_EQ(CountOurs(kTunerCategory), 0u);
    EXPECT_EQ(CountOurs(kReceiverCategory), 0u);

    // Plugging a known id again keeps its state, whatever the new DeviceProfile says.
    auto again = tunersim::Preset("pellary");
    again.id = "00000000000000C1";
    tunersim::Plug(again, false);
    const auto info = *tunersim::Find(profile.id);
    EXPECT_TRUE(info.plugged);
    EXPECT_EQ(info.displayNames, before);
    EXPECT_EQ(info.profile.modelCode, 0x34);
    EXPECT_EQ(info.profile.versionMajor, 9);
    EXPECT_NE(FindListed(Enumerate(kWdmCategory), DisplayNameIn(info, kWdmText)), nullptr);
    EXPECT_NE(FindListed(Enumerate(kTunerCategory), DisplayNameIn(info, kTunerText)), nullptr);

    EXPECT_THROW(tunersim::Plug(profile, false), tunersim::Error);  // already plugged
    tunersim::Remove(profile.id, false);
    EXPECT_FALSE(tunersim::Find(profile.id).has_value());
    EXPECT_EQ(CountOurs(kWdmCategory), 0u);
}

TEST_F(Discovery, ResetForgetsEveryBoxAndItsKeys) {
    for (const auto& profile : tunersim::DemoSet()) tunersim::Plug(profile, false);
    EXPECT_EQ(tunersim::List().size(), tunersim::DemoSet().size());
    tunersim::Reset(false);
    EXPECT_TRUE(tunersim::List().empty());
    EXPECT_EQ(CountOurs(kWdmCategory), 0u);
    EXPECT_EQ(CountOurs(kTunerCategory), 0u);
    EXPECT_EQ(CountOurs(kReceiverCategory), 0u);
}

TEST_F(Discovery, DemoSetCoversTheCasesTheUpdaterNeeds) {
    const auto demo = tunersim::DemoSet();
    auto has = [&](auto predicate) { return std::any_of(demo.begin(), demo.end(), predicate); };
    EXPECT_TRUE(has([](const auto& s) { return s.models == tunersim::kWdm; }));
    EXPECT_TRUE(has([](const auto& s) { return s.models == tunersim::kBda; }));
    EXPECT_TRUE(has([](const auto& s) { return s.models == tunersim::kBoth; }));
    EXPECT_TRUE(has([](const auto& s) {
        return s.productLine == 1 && s.modelCode == 0x34 && s.hardwareRevision == 4;
    }));
    EXPECT_TRUE(has([](const auto& s) { return s.productLine == 1 && s.modelCode == 0x14; }));
    int sameModel = 0;
    for (const auto& a : demo) {
        for (const auto& b : demo) {
            if (&a != &b && a.modelCode == b.modelCode && a.hardwareRevision == b.hardwareRevision)
                ++sameModel;
        }
    }
    EXPECT_GE(sameModel, 2);
}

TEST_F(Discovery, FilterBindsWithClassIdentityAndReferenceCounting) {
    auto profile = tunersim::Preset("talvex-s2");
    profile.id = "00000000000000d1";
    tunersim::Plug(profile, false);
    const std::string name = tunersim::Find(profile.id)->displayNames[0];
    ComPtr<IBaseFilter> filter = BindFilter(kWdmCategory, name);
    ASSERT_TRUE(filter);

    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(filter.As(&persist), S_OK);
    CLSID again{};
    persist->GetClassID(&again);
    EXPECT_TRUE(IsEqualCLSID(clsid, again));

    FILTER_STATE state = State_Running;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);

    FILTER_INFO info{};
    EXPECT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Ombrel WDM");
    EXPECT_EQ(info.pGraph, nullptr);

    // Every interface is one object: AddRef on one shows on the others.
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(filter.As(&properties), S_OK);
    ComPtr<IUnknown> a, b;
    filter.As(&a);
    properties.As(&b);
    EXPECT_EQ(a.Get(), b.Get());
    ComPtr<IUnknown> none;
    EXPECT_EQ(filter->QueryInterface(IID_IClassFactory,
                                     reinterpret_cast<void**>(none.GetAddressOf())),
              E_NOINTERFACE);
    EXPECT_EQ(none.Get(), nullptr);
}

}  // namespace
