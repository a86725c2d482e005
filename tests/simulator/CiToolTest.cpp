// The Common Interface slot through the bound filter, driven by tunersim.exe from
// another process: module in and out, pending events, what ci-show reports, injected
// faults on 22, 23 and 28, and boxes without a slot.
#include <gtest/gtest.h>

#include <vfwmsgs.h>

#include <array>

#include "SimTestSupport.h"
#include "TunerSimControl.h"

namespace {

using namespace simtest;

constexpr char kId[] = "00000000000c1a01";

class CiTool : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset(false);
        auto profile = tunersim::Preset("talvex-cci-r1");
        profile.id = kId;
        tunersim::Plug(profile, false);
        properties_ = BindProperties(kWdmCategory, tunersim::Find(kId)->displayNames[0]);
        ASSERT_TRUE(properties_);
    }
    void TearDown() override { tunersim::Reset(false); }

    uint16_t Status() {
        const GetResult r = GetProperty(properties_.Get(), 28, 2);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.returned, 2u);
        return static_cast<uint16_t>(r.data[0] | r.data[1] << 8);
    }
    void Tool(const std::string& arguments) {
        const ToolRun run = RunTool(arguments);
        ASSERT_EQ(run.exitCode, 0u) << arguments << "\n" << run.output;
    }
    HRESULT Command(uint8_t type, std::initializer_list<uint8_t> payload) {
        std::array<uint8_t, 1036> message{};
        message[1] = type;
        message[8] = static_cast<uint8_t>(payload.size());
        std::copy(payload.begin(), payload.end(), message.begin() + 10);
        return SetProperty(properties_.Get(), 22, message.data(), 1036);
    }

    ComApartment com_;
    ComPtr<IKsPropertySet> properties_;
};

TEST_F(CiTool, ModuleAndEventsChangedByTheToolShowInTheStatusWord) {
    EXPECT_EQ(Status(), 0x0001);
    Tool(std::string("ci-insert ") + kId);
    EXPECT_EQ(Status(), 0x0011);
    Tool(std::string("ci-ready ") + kId);
    EXPECT_EQ(Status(), 0x0033);
    Tool(std::string("ci-events ") + kId + " 0x1C0");
    EXPECT_EQ(Status(), 0x01F3);
    Tool(std::string("ci-events ") + kId + " 0");
    EXPECT_EQ(Status(), 0x0033);
    EXPECT_NE(RunTool(std::string("ci-events ") + kId + " 0x8").exitCode, 0u);

    // What the module received, as the tool shows it.
    EXPECT_EQ(Command(2, {3, 1, 0x02, 0xB0, 0x10, 0x01, 0x2C}), S_OK);
    EXPECT_EQ(Command(8, {0x01, 0x2C}), S_OK);
    EXPECT_EQ(Command(4, {0xC0, 0x79, 0x12, 0x45, 0x30}), S_OK);
    EXPECT_EQ(Command(7, {}), S_OK);
    const ToolRun shown = RunTool(std::string("ci-show ") + kId);
    ASSERT_EQ(shown.exitCode, 0u) << shown.output;
    for (const char* line : {"slot: module ready, status word 0x0033", "MMI: main menu",
                             "CA PMTs: 1, last: list management 3, command 1, 5 PMT bytes, program 300",
                             "descrambling: service 300", "service IDs: 1, last 0x012C",
                             "date-time: 1, last C0 79 12 45 30", "menu: entered 1"})
        EXPECT_NE(shown.output.find(line), std::string::npos) << line << "\n" << shown.output;
    const auto report = tunersim::CommonInterface(kId);
    EXPECT_EQ(report.lastCommand.count, 4u);
    EXPECT_EQ(report.lastCommand.bytes[1], 7);
    EXPECT_EQ(tunersim::Requests(kId, 22).setInstanceLength, 1036u);

    // A raw MMI object given by the tool stands in for the menus.
    Tool(std::string("ci-mmi ") + kId + " \"9F 88 03 83 00 00 10\"");
    std::array<uint8_t, 1036> query{};
    query[1] = 5;
    GetResult reply = GetProperty(properties_.Get(), 23, 1036, 0);
    EXPECT_EQ(reply.hr, E_FAIL);  // no type in the buffer: no such query
    EXPECT_EQ(SetProperty(properties_.Get(), 23, query.data(), 1036), S_OK);
    DWORD returned = 0;
    std::array<uint8_t, 1036> instance{};
    ASSERT_EQ(properties_->Get(kVendorSet, 23, instance.data(), 1036, query.data(), 1036, &returned), S_OK);
    EXPECT_EQ(query[13], 0x83);
    EXPECT_EQ(query[17], 7);  // the payload's own offset
    Tool(std::string("ci-mmi ") + kId + " none");

    Tool(std::string("ci-remove ") + kId);
    EXPECT_EQ(Status(), 0x0001);
    EXPECT_EQ(Command(7, {}), E_FAIL);
}

TEST_F(CiTool, InjectedFaultsApplyToTheCiProperties) {
    Tool(std::string("ci-ready ") + kId);
    Tool(std::string("fault ") + kId + " 28 get false");
    EXPECT_EQ(GetProperty(properties_.Get(), 28, 2).hr, S_FALSE);
    Tool(std::string("fault ") + kId + " 28 get short:1");
    GetResult shortened = GetProperty(properties_.Get(), 28, 2, 0xEE);
    EXPECT_EQ(shortened.hr, S_OK);
    EXPECT_EQ(shortened.returned, 1u);
    EXPECT_EQ(shortened.data, (std::vector<uint8_t>{0x33, 0xEE}));
    Tool(std::string("fault ") + kId + " 22 set fail");
    EXPECT_EQ(Command(8, {0x00, 0x01}), E_FAIL);
    Tool(std::string("fault ") + kId + " 23 get false");
    std::array<uint8_t, 1036> query{};
    query[1] = 1;
    DWORD returned = 0;
    std::array<uint8_t, 1036> instance{};
    EXPECT_EQ(properties_->Get(kVendorSet, 23, instance.data(), 1036, query.data(), 1036, &returned), S_FALSE);
    Tool(std::string("clear-faults ") + kId);
    EXPECT_EQ(properties_->Get(kVendorSet, 23, instance.data(), 1036, query.data(), 1036, &returned), S_OK);
    EXPECT_EQ(query[10], 0x4B);
    EXPECT_EQ(tunersim::Requests(kId, 28).gets, 2u);  // faulted ones are counted too
}

TEST_F(CiTool, BoxesWithoutASlotAnswerNoCiProperty) {
    auto pellary = tunersim::Preset("pellary");
    pellary.id = "00000000000c1a02";
    tunersim::Plug(pellary, false);
    const ToolRun plugged = RunTool("plug --preset talvex-s2 --id 00000000000c1a03 --ci-slot no --no-broadcast");
    ASSERT_EQ(plugged.exitCode, 0u) << plugged.output;
    EXPECT_FALSE(*tunersim::Find("00000000000c1a02")->profile.ciSlot);
    EXPECT_FALSE(*tunersim::Find("00000000000c1a03")->profile.ciSlot);
    EXPECT_TRUE(*tunersim::Find(kId)->profile.ciSlot);
    for (const char* id : {"00000000000c1a02", "00000000000c1a03"}) {
        auto properties = BindProperties(kWdmCategory, tunersim::Find(id)->displayNames[0]);
        ASSERT_TRUE(properties);
        EXPECT_EQ(GetProperty(properties.Get(), 28, 2).hr, E_PROP_ID_UNSUPPORTED) << id;
        std::array<uint8_t, 1036> message{};
        EXPECT_EQ(SetProperty(properties.Get(), 22, message.data(), 1036), E_PROP_ID_UNSUPPORTED) << id;
        const ToolRun refused = RunTool(std::string("ci-insert ") + id);
        EXPECT_EQ(refused.exitCode, 1u);
        EXPECT_NE(refused.output.find("has no Common Interface slot"), std::string::npos) << refused.output;
        EXPECT_NE(RunTool(std::string("ci-show ") + id).output.find("no Common Interface slot"), std::string::npos);
    }
}

}  // namespace
