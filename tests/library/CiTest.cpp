// Common Interface through the real DLL and the simulated module: every command and
// query as the driver received it, argument checks, the session rules across handles,
// the poll's messages, MMI objects in every length form, and the session's end when
// its handle is closed.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "ProcessProbe.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace libtest;

namespace {

using Bytes = std::vector<unsigned char>;

const std::string kId = "00000000c1000001";
const std::string kNoSlotId = "00000000c1000002";

// The 1036 bytes the driver must receive for a command.
std::array<unsigned char, 1036> CommandBytes(unsigned char type, const Bytes& payload) {
    std::array<unsigned char, 1036> message{};
    message[1] = type;
    message[8] = static_cast<unsigned char>(payload.size() & 0xFF);
    message[9] = static_cast<unsigned char>(payload.size() >> 8);
    std::copy(payload.begin(), payload.end(), message.begin() + 10);
    return message;
}

// A caller's buffer followed by bytes that no call may touch.
template <std::size_t N>
struct GuardedBuffer {
    std::array<unsigned char, N + 16> bytes;
    GuardedBuffer() { bytes.fill(0xCC); }
    unsigned char* data() { return bytes.data(); }
    bool UntouchedFrom(std::size_t from) const {
        for (std::size_t i = from; i < bytes.size(); ++i)
            if (bytes[i] != 0xCC) return false;
        return true;
    }
};

class CiTest : public CiBoxTest {
protected:
    CiTest() : CiBoxTest("talvex-cci-r1", kId) {}

    static tunersim::ModuleReport Module() { return tunersim::CommonInterface(kId); }
    static std::uint32_t Polls() { return tunersim::Requests(kId, OMBREL_PROP_CI_STATUS).gets; }
    static bool WaitForPolls(std::uint32_t more) {
        const std::uint32_t target = Polls() + more;
        return PumpUntil([&] { return Polls() >= target; });
    }
    // The last command as the driver received it: all 1036 bytes, with an instance
    // buffer of the same length.
    static void ExpectReceived(unsigned char type, const Bytes& payload) {
        const tunersim::ModuleReport report = Module();
        EXPECT_EQ(report.lastCommand.length, 1036u);
        EXPECT_EQ(report.lastCommand.bytes, CommandBytes(type, payload)) << "type " << int(type);
        EXPECT_EQ(tunersim::Requests(kId, OMBREL_PROP_CI_COMMAND).setInstanceLength, 1036u);
    }
    // A query carries Slot and Type only; the same buffer length both ways.
    static void ExpectAsked(unsigned char type, std::uint32_t queriesBefore) {
        const tunersim::ModuleReport report = Module();
        EXPECT_EQ(report.lastRequest.bytes, CommandBytes(type, {}));
        const tunersim::RequestCount requests = tunersim::Requests(kId, OMBREL_PROP_CI_REQUEST);
        EXPECT_EQ(requests.sets, queriesBefore + 1);
        EXPECT_EQ(requests.gets, queriesBefore + 1);
        EXPECT_EQ(requests.setInstanceLength, 1036u);
        EXPECT_EQ(requests.getInstanceLength, 1036u);
    }
};

const std::vector<UINT> kCiMessages{OMBREL_MSG_CI_MODULE_PRESENT, OMBREL_MSG_CI_MODULE_READY,
                                    OMBREL_MSG_CI_MODULE_GONE,    OMBREL_MSG_CI_FLAG_100,
                                    OMBREL_MSG_CI_FLAG_40,        OMBREL_MSG_CI_FLAG_80};

int CiMessagesIn(const MessageSink& sink) {
    int n = 0;
    for (UINT message : kCiMessages) n += sink.CountOf(message);
    return n;
}

}  // namespace

TEST_F(CiTest, EveryCommandAndQueryReachesTheDriverByteByByteWithoutASession) {
    tunersim::ReadyModule(kId);

    const unsigned char pmt[] = {0x02, 0xB0, 0x12, 0x00, 0x65};
    ASSERT_EQ(OB_CI_SendPMT(handle_, 5, pmt), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_PMT, {0x03, 0x01, 0x02, 0xB0, 0x12, 0x00, 0x65});
    EXPECT_TRUE(Module().descrambling);
    EXPECT_EQ(Module().descrambledService, 0x65);
    ASSERT_EQ(OB_CI_SendPMT(handle_, 5, 5, 4, pmt), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_PMT, {0x05, 0x04, 0x02, 0xB0, 0x12, 0x00, 0x65});
    EXPECT_FALSE(Module().descrambling);
    Bytes longest(1024);
    for (std::size_t i = 0; i < longest.size(); ++i) longest[i] = static_cast<unsigned char>(i * 13 + 1);
    ASSERT_EQ(OB_CI_SendPMT(handle_, 1024, 0, 0, longest.data()), OB_SUCCESS);
    Bytes expected{0x00, 0x00};
    expected.insert(expected.end(), longest.begin(), longest.end());
    ExpectReceived(OMBREL_CI_MSG_PMT, expected);  // Length 1026

    const _UTC_TIME time{0xC0, 0x79, 0x12, 0x45, 0x30};
    ASSERT_EQ(OB_CI_SetDateTimeInfo(handle_, time, 0), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_DATE_TIME, {0xC0, 0x79, 0x12, 0x45, 0x30});
    ASSERT_EQ(OB_CI_SetDateTimeInfo(handle_, time, 0x0078), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_DATE_TIME, {0xC0, 0x79, 0x12, 0x45, 0x30, 0x00, 0x78});

    ASSERT_EQ(OB_CI_EnterMenu(handle_), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_ENTER_MENU, {});
    EXPECT_EQ(Module().screen, "main menu");
    ASSERT_EQ(OB_CI_SendMenuAnswer(handle_, 3), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_MMI, {0x9F, 0x88, 0x0B, 0x01, 0x03});
    EXPECT_EQ(Module().screen, "PIN enquiry");
    const unsigned char pin[] = {'1', '2', '3', '4'};
    ASSERT_EQ(OB_CI_SendEnqAnswer(handle_, 0, 4, pin), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_MMI, {0x9F, 0x88, 0x08, 0x01, 0x00});
    EXPECT_EQ(Module().screen, "main menu");
    ASSERT_EQ(OB_CI_SendMenuAnswer(handle_, 3), OB_SUCCESS);
    ASSERT_EQ(OB_CI_SendEnqAnswer(handle_, 1, 4, pin), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_MMI, {0x9F, 0x88, 0x08, 0x05, 0x01, '1', '2', '3', '4'});
    EXPECT_EQ(Module().screen, "parental menu");
    ASSERT_EQ(OB_CI_CloseMMI(handle_), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_MMI, {0x9F, 0x88, 0x00, 0x01, 0x00});
    EXPECT_EQ(Module().screen, "");
    ASSERT_EQ(OB_CI_SendServiceID(handle_, 0xBEEF), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_SERVICE_ID, {0xBE, 0xEF});
    EXPECT_EQ(Module().serviceId, 0xBEEF);

    // Queries.
    std::uint32_t queries = tunersim::Requests(kId, OMBREL_PROP_CI_REQUEST).sets;
    unsigned short manufacturer = 0, code = 0;
    unsigned char menuLength = 0;
    GuardedBuffer<OMBREL_CI_MENU_STRING_SIZE> menu;
    ASSERT_EQ(OB_CI_GetApplicationInfo(handle_, &manufacturer, &code, &menuLength, menu.data()), OB_SUCCESS);
    ExpectAsked(OMBREL_CI_MSG_APPLICATION_INFO, queries++);
    EXPECT_EQ(manufacturer, 0x4B45);
    EXPECT_EQ(code, 0x0241);
    ASSERT_EQ(menuLength, 11);
    EXPECT_EQ(std::string(menu.data(), menu.data() + 11), "Kestrel CAM");
    EXPECT_TRUE(menu.UntouchedFrom(11));  // no NUL added

    unsigned char dateTime = 0;
    ASSERT_EQ(OB_CI_GetDateTimeInfo(handle_, &dateTime), OB_SUCCESS);
    ExpectAsked(OMBREL_CI_MSG_DATE_TIME, queries++);
    EXPECT_EQ(dateTime, 60);

    ASSERT_EQ(OB_CI_EnterMenu(handle_), OB_SUCCESS);
    unsigned short length = 0;
    unsigned long tag = 0;
    GuardedBuffer<OMBREL_CI_MMI_BODY_SIZE> body;
    ASSERT_EQ(OB_CI_GetMMIObject(handle_, &length, &tag, body.data()), OB_SUCCESS);
    ExpectAsked(OMBREL_CI_MSG_MMI, queries++);
    EXPECT_EQ(tag, 0x9F8809u);  // menu_last, in the 0x81 form
    ASSERT_GT(length, 127);
    ASSERT_LT(length, 256);
    EXPECT_EQ(body.bytes[0], 4);  // entries
    const Bytes title{0x9F, 0x88, 0x03, 26};
    EXPECT_EQ(Bytes(body.data() + 1, body.data() + 5), title);
    EXPECT_EQ(std::string(body.data() + 5, body.data() + 31), "Kestrel Conditional Access");
    EXPECT_TRUE(body.UntouchedFrom(length));

    // The session's open command, last: none of the above needed it.
    EXPECT_EQ(Module().opens, 0u);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ExpectReceived(OMBREL_CI_MSG_OPEN, {0x00});
    EXPECT_EQ(Module().opens, 1u);
}

TEST_F(CiTest, BadArgumentsAndUnknownHandlesSendNothing) {
    tunersim::ReadyModule(kId);
    Bytes pmt(1025, 0x47);
    const auto sets = [] { return tunersim::Requests(kId, OMBREL_PROP_CI_COMMAND).sets; };
    const std::uint32_t before = sets();
    EXPECT_EQ(OB_CI_SendPMT(handle_, 0, pmt.data()), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 1025, pmt.data()), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 10, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 0, 3, 1, pmt.data()), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 1025, 3, 1, pmt.data()), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 10, 3, 1, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 10, 6, 1, pmt.data()), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 10, 3, 5, pmt.data()), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SendEnqAnswer(handle_, 1, 3, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(sets(), before);

    EXPECT_EQ(OB_CI_SendPMT(handle_, 1024, pmt.data()), OB_SUCCESS);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 10, 5, 4, pmt.data()), OB_SUCCESS);
    EXPECT_EQ(OB_CI_SendPMT(handle_, 10, 0, 0, pmt.data()), OB_SUCCESS);
    EXPECT_EQ(sets(), before + 3);

    // Unknown handles: 2 from every export, before any argument is looked at.
    const std::uint32_t queries = tunersim::Requests(kId, OMBREL_PROP_CI_REQUEST).sets;
    for (unsigned long unknown : {0ul, handle_ ^ 0x40000000ul}) {
        unsigned short u16 = 0;
        unsigned long u32 = 0;
        unsigned char u8 = 0;
        EXPECT_EQ(OB_CI_Open(unknown), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_Close(unknown), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SetPollingIntervall(unknown, 1000), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SendPMT(unknown, 0, nullptr), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SendPMT(unknown, 10, 9, 9, pmt.data()), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_GetApplicationInfo(unknown, &u16, &u16, &u8, pmt.data()), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_EnterMenu(unknown), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_CloseMMI(unknown), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_GetMMIObject(unknown, &u16, &u32, pmt.data()), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SendMenuAnswer(unknown, 1), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SendEnqAnswer(unknown, 1, 3, nullptr), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_GetDateTimeInfo(unknown, &u8), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SetDateTimeInfo(unknown, _UTC_TIME{}, 0), OB_INVALID_HANDLE);
        EXPECT_EQ(OB_CI_SendServiceID(unknown, 1), OB_INVALID_HANDLE);
        EXPECT_EQ(u16 + u32 + u8, 0u);
    }
    EXPECT_EQ(sets(), before + 3);
    EXPECT_EQ(tunersim::Requests(kId, OMBREL_PROP_CI_REQUEST).sets, queries);
}

TEST_F(CiTest, DriverFailuresReturnOneAndWriteNothing) {
    // No module: the driver refuses commands and has no replies.
    EXPECT_EQ(OB_CI_EnterMenu(handle_), OB_FAILED);
    EXPECT_EQ(OB_CI_SendServiceID(handle_, 1), OB_FAILED);
    unsigned short manufacturer = 0xAAAA, code = 0xAAAA, length = 0xAAAA;
    unsigned char menuLength = 0xAA, dateTime = 0xAA;
    unsigned long tag = 0xAAAAAAAA;
    GuardedBuffer<OMBREL_CI_MMI_BODY_SIZE> buffer;
    EXPECT_EQ(OB_CI_GetApplicationInfo(handle_, &manufacturer, &code, &menuLength, buffer.data()), OB_FAILED);
    EXPECT_EQ(OB_CI_GetDateTimeInfo(handle_, &dateTime), OB_FAILED);
    EXPECT_EQ(OB_CI_GetMMIObject(handle_, &length, &tag, buffer.data()), OB_FAILED);

    // With the module: a failed set of the request is ignored, the get decides.
    tunersim::ReadyModule(kId);
    EXPECT_EQ(OB_CI_GetMMIObject(handle_, &length, &tag, buffer.data()), OB_FAILED);  // no menu open
    tunersim::InjectFault(kId, OMBREL_PROP_CI_REQUEST, tunersim::Direction::Set, {tunersim::FaultKind::Fail});
    EXPECT_EQ(OB_CI_GetDateTimeInfo(handle_, &dateTime), OB_SUCCESS);
    EXPECT_EQ(dateTime, 60);
    dateTime = 0xAA;
    tunersim::InjectFault(kId, OMBREL_PROP_CI_REQUEST, tunersim::Direction::Get, {tunersim::FaultKind::False});
    EXPECT_EQ(OB_CI_GetApplicationInfo(handle_, &manufacturer, &code, &menuLength, buffer.data()), OB_FAILED);
    EXPECT_EQ(OB_CI_GetDateTimeInfo(handle_, &dateTime), OB_FAILED);
    tunersim::InjectFault(kId, OMBREL_PROP_CI_COMMAND, tunersim::Direction::Set, {tunersim::FaultKind::False});
    EXPECT_EQ(OB_CI_SendServiceID(handle_, 1), OB_FAILED);
    EXPECT_EQ(OB_CI_CloseMMI(handle_), OB_FAILED);

    EXPECT_EQ(manufacturer, 0xAAAA);
    EXPECT_EQ(code, 0xAAAA);
    EXPECT_EQ(length, 0xAAAA);
    EXPECT_EQ(menuLength, 0xAA);
    EXPECT_EQ(dateTime, 0xAA);
    EXPECT_EQ(tag, 0xAAAAAAAAu);
    EXPECT_TRUE(buffer.UntouchedFrom(0));

    // A failed open command does not keep the session from opening.
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    EXPECT_EQ(SharedFlags().Ci(name_), 1);
}

TEST_F(CiTest, SessionRulesAcrossHandles) {
    tunersim::DeviceProfile noSlot = tunersim::Preset("pellary");
    noSlot.id = kNoSlotId;
    tunersim::Plug(noSlot);
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 2; }));
    const std::string noSlotName = SimDisplayName(kNoSlotId, 0);
    const unsigned long plain = OpenByDisplayName(noSlotName);
    ASSERT_NE(plain, 0u);
    SharedFlags flags;
    EXPECT_EQ(OB_CI_Open(plain), OB_NOT_SUPPORTED);
    // 5 comes before every other rule, also with the device's flag set.
    ASSERT_TRUE(flags.SetCi(noSlotName, 1));
    EXPECT_EQ(OB_CI_Open(plain), OB_NOT_SUPPORTED);
    flags.SetCi(noSlotName, 0);
    EXPECT_EQ(OB_CI_Close(plain), OB_FAILED);
    EXPECT_EQ(OB_CI_SetPollingIntervall(plain, 100), OB_FAILED);

    const unsigned long second = OpenByDisplayName(name_);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(flags.Ci(name_), 0);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    EXPECT_EQ(flags.Ci(name_), 1);
    EXPECT_EQ(OB_CI_Open(handle_), OB_FAILED);
    EXPECT_EQ(OB_CI_Open(second), OB_FAILED);
    EXPECT_EQ(OB_CI_Close(second), OB_FAILED);
    EXPECT_EQ(OB_CI_SetPollingIntervall(second, 100), OB_IN_USE);
    EXPECT_EQ(OB_CI_SetPollingIntervall(second, 10), OB_IN_USE);
    EXPECT_TRUE(WaitForPolls(2));  // still polling: the session stayed
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 49), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 50), OB_SUCCESS);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 300), OB_SUCCESS);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 301), OB_INVALID_PARAMETER);

    ASSERT_EQ(OB_CI_Close(handle_), OB_SUCCESS);
    EXPECT_EQ(flags.Ci(name_), 0);
    EXPECT_EQ(OB_CI_Close(handle_), OB_FAILED);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 100), OB_FAILED);
    // Free again for any handle.
    ASSERT_EQ(OB_CI_Open(second), OB_SUCCESS);
    EXPECT_EQ(OB_CI_Open(handle_), OB_FAILED);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 100), OB_IN_USE);
    ASSERT_EQ(OB_CI_Close(second), OB_SUCCESS);
    OB_CloseDeviceHandle(second);
    OB_CloseDeviceHandle(plain);
}

TEST_F(CiTest, PollIntervalDecidesHowOftenTheStatusIsRead) {
    // The first poll comes one interval after the open.
    const ULONGLONG before = GetTickCount64();
    const std::uint32_t polls = Polls();
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_TRUE(PumpUntil([&] { return Polls() > polls; }));
    EXPECT_GE(GetTickCount64() - before, 200u - 20u);

    // At most one poll per interval (the one under way aside): a loaded machine polls
    // less often, never more.
    const auto pollsAtMost = [&](unsigned long intervalMs) {
        const ULONGLONG start = GetTickCount64();
        const std::uint32_t first = Polls();
        PumpFor(1500);
        const std::uint32_t seen = Polls() - first;
        const ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_LE(seen, elapsed / intervalMs + 2) << "interval " << intervalMs << ", " << elapsed << " ms";
        return seen;
    };
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 49), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_CI_SetPollingIntervall(handle_, 301), OB_INVALID_PARAMETER);
    EXPECT_GT(pollsAtMost(200), 0u);  // 49 was not taken
    ASSERT_EQ(OB_CI_SetPollingIntervall(handle_, 300), OB_SUCCESS);
    WaitForPolls(1);  // the wait under way may still be the old one
    pollsAtMost(300);
    ASSERT_EQ(OB_CI_SetPollingIntervall(handle_, 50), OB_SUCCESS);
    EXPECT_TRUE(WaitForPolls(10));
}

TEST_F(CiTest, PollMessagesFollowTheModuleInOrderAndEndWithTheSession) {
    MessageSink sink;
    ASSERT_EQ(OB_RegisterNotifications(handle_, sink.hwnd()), OB_SUCCESS);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_CI_SetPollingIntervall(handle_, 50), OB_SUCCESS);
    const auto waitFor = [&](UINT message, int count) {
        return PumpUntil([&] { return sink.CountOf(message) >= count; });
    };

    tunersim::InsertModule(kId);
    ASSERT_TRUE(waitFor(OMBREL_MSG_CI_MODULE_PRESENT, 1));
    tunersim::ReadyModule(kId);
    ASSERT_TRUE(waitFor(OMBREL_MSG_CI_MODULE_READY, 1));
    // Reset to starting: still ready for the library while present.
    tunersim::InsertModule(kId);
    ASSERT_TRUE(WaitForPolls(3));
    tunersim::RemoveModule(kId);
    ASSERT_TRUE(waitFor(OMBREL_MSG_CI_MODULE_GONE, 1));
    // Found ready at once: present and ready from one poll.
    tunersim::ReadyModule(kId);
    ASSERT_TRUE(waitFor(OMBREL_MSG_CI_MODULE_READY, 2));
    std::vector<UINT> order;
    for (const Received& r : sink.log()) {
        order.push_back(r.message);
        EXPECT_EQ(r.wParam, handle_);
        EXPECT_EQ(r.lParam, 0);
    }
    EXPECT_EQ(order, (std::vector<UINT>{OMBREL_MSG_CI_MODULE_PRESENT, OMBREL_MSG_CI_MODULE_READY,
                                        OMBREL_MSG_CI_MODULE_GONE, OMBREL_MSG_CI_MODULE_PRESENT,
                                        OMBREL_MSG_CI_MODULE_READY}));

    // Pending events at every poll that reads them, in the order 0x40, 0x80, 0x100.
    sink.Clear();
    tunersim::SetModuleEvents(kId, 0x01C0);
    ASSERT_TRUE(waitFor(OMBREL_MSG_CI_FLAG_40, 3));
    tunersim::SetModuleEvents(kId, 0);
    ASSERT_TRUE(WaitForPolls(2));
    PumpFor(50);
    const int rounds = sink.CountOf(OMBREL_MSG_CI_FLAG_40);
    EXPECT_EQ(sink.CountOf(OMBREL_MSG_CI_FLAG_80), rounds);
    EXPECT_EQ(sink.CountOf(OMBREL_MSG_CI_FLAG_100), rounds);
    ASSERT_EQ(sink.log().size(), static_cast<std::size_t>(3 * rounds));
    for (std::size_t i = 0; i < sink.log().size(); i += 3) {
        EXPECT_EQ(sink.log()[i].message, static_cast<UINT>(OMBREL_MSG_CI_FLAG_40));
        EXPECT_EQ(sink.log()[i + 1].message, static_cast<UINT>(OMBREL_MSG_CI_FLAG_80));
        EXPECT_EQ(sink.log()[i + 2].message, static_cast<UINT>(OMBREL_MSG_CI_FLAG_100));
    }

    // After the close: no poll and no message, whatever the module does.
    tunersim::SetModuleEvents(kId, 0x0040);
    ASSERT_TRUE(waitFor(OMBREL_MSG_CI_FLAG_40, rounds + 1));
    ASSERT_EQ(OB_CI_Close(handle_), OB_SUCCESS);
    PumpFor(50);  // what was posted before the close
    sink.Clear();
    const std::uint32_t polls = Polls();
    tunersim::RemoveModule(kId);
    PumpFor(600);
    EXPECT_EQ(CiMessagesIn(sink), 0);
    EXPECT_EQ(Polls(), polls);
}

TEST_F(CiTest, MessagesGoToTheWindowOfTheMomentAndFailedPollsChangeNothing) {
    tunersim::ReadyModule(kId);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_CI_SetPollingIntervall(handle_, 50), OB_SUCCESS);
    // No window: the polls go on, their messages are dropped.
    ASSERT_TRUE(WaitForPolls(3));
    MessageSink first;
    ASSERT_EQ(OB_RegisterNotifications(handle_, first.hwnd()), OB_SUCCESS);
    ASSERT_TRUE(WaitForPolls(2));
    PumpFor(50);
    EXPECT_EQ(CiMessagesIn(first), 0);  // ready already: nothing new to tell
    tunersim::RemoveModule(kId);
    ASSERT_TRUE(PumpUntil([&] { return first.CountOf(OMBREL_MSG_CI_MODULE_GONE) == 1; }));

    MessageSink second;
    ASSERT_EQ(OB_RegisterNotifications(handle_, second.hwnd()), OB_SUCCESS);
    tunersim::InsertModule(kId);
    ASSERT_TRUE(PumpUntil([&] { return second.CountOf(OMBREL_MSG_CI_MODULE_PRESENT) == 1; }));
    EXPECT_EQ(CiMessagesIn(first), 1);

    // Failed polls: no message, the state stays "present" through a remove and a ready.
    tunersim::InjectFault(kId, OMBREL_PROP_CI_STATUS, tunersim::Direction::Get, {tunersim::FaultKind::Fail});
    tunersim::RemoveModule(kId);
    ASSERT_TRUE(WaitForPolls(3));
    tunersim::ReadyModule(kId);
    ASSERT_TRUE(WaitForPolls(3));
    PumpFor(50);
    EXPECT_EQ(CiMessagesIn(second), 1);
    tunersim::ClearFaults(kId);
    ASSERT_TRUE(PumpUntil([&] { return second.CountOf(OMBREL_MSG_CI_MODULE_READY) == 1; }));
    EXPECT_EQ(second.CountOf(OMBREL_MSG_CI_MODULE_GONE), 0);
    EXPECT_EQ(second.CountOf(OMBREL_MSG_CI_MODULE_PRESENT), 1);

    // Unregistered: polls go on, nothing is posted.
    ASSERT_EQ(OB_UnregisterNotifications(handle_), OB_SUCCESS);
    tunersim::RemoveModule(kId);
    ASSERT_TRUE(WaitForPolls(3));
    PumpFor(50);
    EXPECT_EQ(CiMessagesIn(second), 2);
}

TEST_F(CiTest, MmiObjectsInEveryLengthFormStayWithinTheCallersBuffer) {
    tunersim::ReadyModule(kId);
    struct Case {
        Bytes object;
        bool read;
        unsigned short length;
        std::size_t bodyAt;  // where the body begins in the payload
    };
    const Case cases[] = {
        {{0x9F, 0x88, 0x03, 0x00}, true, 0, 4},
        {{0x9F, 0x88, 0x03, 0x7F}, true, 127, 4},
        {{0x9F, 0x88, 0x09, 0x81, 0xC8}, true, 200, 5},
        {{0x9F, 0x88, 0x0C, 0x82, 0x01, 0x2C}, true, 300, 6},
        {{0x9F, 0x88, 0x0C, 0x82, 0xFF, 0xFF}, true, 1020, 6},  // claims more than the reply holds: cut
        {{0x9F, 0x88, 0x0C, 0x83, 0x00, 0x00, 0x10}, false, 0, 0},
        {{0x9F, 0x88, 0x0C, 0x80}, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.object));
        tunersim::SetRawMmiObject(kId, c.object);
        unsigned short length = 0xBBBB;
        unsigned long tag = 0;
        GuardedBuffer<OMBREL_CI_MMI_BODY_SIZE> body;
        ASSERT_EQ(OB_CI_GetMMIObject(handle_, &length, &tag, body.data()), OB_SUCCESS);
        EXPECT_EQ(tag, 0x9F8800u | c.object[2]);
        if (!c.read) {
            EXPECT_EQ(length, 0xBBBB);
            EXPECT_TRUE(body.UntouchedFrom(0));
            continue;
        }
        ASSERT_EQ(length, c.length);
        for (std::size_t i = 0; i < c.length; ++i)
            ASSERT_EQ(body.bytes[i], static_cast<unsigned char>(c.bodyAt + i)) << i;  // the payload's offsets
        EXPECT_TRUE(body.UntouchedFrom(c.length));
    }
    // Null outputs are left out.
    unsigned long tag = 0;
    EXPECT_EQ(OB_CI_GetMMIObject(handle_, nullptr, &tag, nullptr), OB_SUCCESS);
    EXPECT_EQ(tag, 0x9F880Cu);
}

TEST_F(CiTest, EnquiryAnswersOfAnyLengthTakeTheirLengthForm) {
    tunersim::ReadyModule(kId);
    Bytes text(255);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<unsigned char>('a' + i % 26);
    struct Case {
        unsigned char n;
        Bytes field;
    };
    for (const Case& c : {Case{126, {0x7F}}, Case{127, {0x81, 0x80}}, Case{254, {0x81, 0xFF}},
                          Case{255, {0x82, 0x01, 0x00}}}) {
        ASSERT_EQ(OB_CI_SendEnqAnswer(handle_, 1, c.n, text.data()), OB_SUCCESS) << int(c.n);
        Bytes payload{0x9F, 0x88, 0x08};
        payload.insert(payload.end(), c.field.begin(), c.field.end());
        payload.push_back(0x01);
        payload.insert(payload.end(), text.begin(), text.begin() + c.n);
        ExpectReceived(OMBREL_CI_MSG_MMI, payload);
        // The module read it back whole.
        EXPECT_EQ(Module().lastAnswer, std::string(text.begin(), text.begin() + c.n));
    }
}

TEST_F(CiTest, ClosingTheOwningHandleEndsItsSessionFirst) {
    const unsigned long other = OpenByDisplayName(name_);
    ASSERT_NE(other, 0u);
    SharedFlags flags;
    const int threadsBefore = ThreadsOfThisProcess();
    MessageSink sink;
    ASSERT_EQ(OB_RegisterNotifications(handle_, sink.hwnd()), OB_SUCCESS);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_CI_SetPollingIntervall(handle_, 50), OB_SUCCESS);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore + 1);

    // Another handle of the device goes: the session stays.
    ASSERT_EQ(OB_CloseDeviceHandle(other), OB_SUCCESS);
    tunersim::SetModuleEvents(kId, 0x0040);
    ASSERT_TRUE(PumpUntil([&] { return sink.CountOf(OMBREL_MSG_CI_FLAG_40) >= 2; }));
    EXPECT_EQ(flags.Ci(name_), 1);

    ASSERT_EQ(OB_CloseDeviceHandle(handle_), OB_SUCCESS);
    const unsigned long closed = handle_;
    handle_ = 0;
    EXPECT_EQ(flags.Ci(name_), 0);
    EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess() == threadsBefore; }));
    PumpFor(50);
    sink.Clear();
    const std::uint32_t polls = Polls();
    PumpFor(500);
    EXPECT_EQ(Polls(), polls);
    EXPECT_EQ(CiMessagesIn(sink), 0);
    EXPECT_EQ(OB_CI_Close(closed), OB_INVALID_HANDLE);

    // The device is free for a new handle.
    handle_ = OpenByDisplayName(name_);
    ASSERT_NE(handle_, 0u);
    EXPECT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    EXPECT_EQ(flags.Ci(name_), 1);
}

TEST_F(CiTest, ASessionOutlivesItsBoxGoingAway) {
    MessageSink sink;
    ASSERT_EQ(OB_RegisterNotifications(handle_, sink.hwnd()), OB_SUCCESS);
    tunersim::ReadyModule(kId);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_CI_SetPollingIntervall(handle_, 50), OB_SUCCESS);
    ASSERT_TRUE(PumpUntil([&] { return sink.CountOf(OMBREL_MSG_CI_MODULE_READY) == 1; }));
    tunersim::Unplug(kId);
    ASSERT_TRUE(PumpUntil([&] { return sink.CountOf(OMBREL_MSG_DETACHED) == 1; }));
    // The polls fail while the box is away: the module is not reported gone.
    ASSERT_TRUE(WaitForPolls(3));
    PumpFor(50);
    EXPECT_EQ(sink.CountOf(OMBREL_MSG_CI_MODULE_GONE), 0);
    tunersim::DeviceProfile again;
    again.id = kId;
    tunersim::Plug(again);
    ASSERT_TRUE(PumpUntil([&] { return sink.CountOf(OMBREL_MSG_ATTACHED) == 1; }));
    tunersim::RemoveModule(kId);
    ASSERT_TRUE(PumpUntil([&] { return sink.CountOf(OMBREL_MSG_CI_MODULE_GONE) == 1; }));
    EXPECT_EQ(OB_CI_Close(handle_), OB_SUCCESS);
    EXPECT_EQ(SharedFlags().Ci(name_), 0);
}

TEST_F(CiTest, OneHandlesSessionAndRemoteReaderPostToTheWindowItHasNowAndEndWithIt) {
    MessageSink first;
    MessageSink second;
    ASSERT_EQ(OB_RegisterNotifications(handle_, first.hwnd()), OB_SUCCESS);
    ASSERT_EQ(OB_CI_Open(handle_), OB_SUCCESS);
    ASSERT_EQ(OB_RemoteControl_Start(handle_), OB_SUCCESS);
    tunersim::InsertModule(kId);
    tunersim::PressKey(kId, 0x2015);
    ASSERT_TRUE(PumpUntil([&] {
        return first.CountOf(OMBREL_MSG_CI_MODULE_PRESENT) == 1 && first.CountOf(OMBREL_MSG_REMOTE_KEY) == 1;
    }));

    // Another window for the handle: the poll thread and the reader both post there now.
    ASSERT_EQ(OB_RegisterNotifications(handle_, second.hwnd()), OB_SUCCESS);
    tunersim::ReadyModule(kId);
    tunersim::PressKey(kId, 0x2016);
    ASSERT_TRUE(PumpUntil([&] {
        return second.CountOf(OMBREL_MSG_CI_MODULE_READY) == 1 && second.CountOf(OMBREL_MSG_REMOTE_KEY) == 1;
    }));
    for (const Received& r : second.log()) {
        EXPECT_EQ(r.wParam, handle_);
        if (r.message == OMBREL_MSG_REMOTE_KEY) {
            EXPECT_EQ(r.lParam, 0x2016);
        }
    }
    EXPECT_EQ(first.CountOf(OMBREL_MSG_CI_MODULE_READY), 0);
    EXPECT_EQ(first.CountOf(OMBREL_MSG_REMOTE_KEY), 1);

    // No window: the module's going and a key are noticed, and posted nowhere.
    ASSERT_EQ(OB_UnregisterNotifications(handle_), OB_SUCCESS);
    second.Clear();
    tunersim::RemoveModule(kId);
    tunersim::PressKey(kId, 0x2017);
    ASSERT_TRUE(PumpUntil([&] { return tunersim::Remote(kId).read == 3; }));
    ASSERT_TRUE(WaitForPolls(2));
    PumpFor(50);
    EXPECT_TRUE(second.log().empty());
    EXPECT_EQ(first.CountOf(OMBREL_MSG_CI_MODULE_GONE) + first.CountOf(OMBREL_MSG_REMOTE_KEY), 1);

    // Closing the handle ends both: their flags are clear and nothing asks the driver any more.
    ASSERT_EQ(OB_CloseDeviceHandle(handle_), OB_SUCCESS);
    const SharedFlags flags;
    EXPECT_EQ(flags.Ci(name_), 0);
    EXPECT_EQ(flags.Rc(name_), 0);
    EXPECT_EQ(tunersim::Remote(kId).waitingReads, 0u);
    const std::uint32_t polls = Polls();
    PumpFor(500);
    EXPECT_EQ(Polls(), polls);
}

namespace {

// A menu or list body read as OmbrelApi.h describes it, with nothing but its words: the
// choice count, then text_last objects in any length form.
struct ChoiceBody {
    int count = -1;
    std::vector<std::string> texts;  // title, subtitle, bottom line, choices
    bool wellFormed = false;
};

ChoiceBody ReadChoiceBody(const unsigned char* body, std::size_t length) {
    ChoiceBody read;
    if (length < 1) return read;
    read.count = body[0];
    std::size_t at = 1;
    while (at < length) {
        if (length - at < 4) return read;
        const unsigned long tag = static_cast<unsigned long>(body[at]) << 16 | body[at + 1] << 8 | body[at + 2];
        if (tag != OMBREL_MMI_TAG_TEXT_LAST) return read;
        at += 3;
        std::size_t size = body[at++];
        if (size == 0x81 || size == 0x82) {
            const std::size_t bytes = size & 0x7F;
            if (length - at < bytes) return read;
            size = 0;
            for (std::size_t i = 0; i < bytes; ++i) size = size << 8 | body[at++];
        } else if (size >= 0x80) {
            return read;
        }
        if (length - at < size) return read;
        read.texts.emplace_back(reinterpret_cast<const char*>(body + at), size);
        at += size;
    }
    read.wellFormed = true;
    return read;
}

}  // namespace

TEST_F(CiTest, MenusListsAndEnquiriesReadAsTheHeaderDescribesThem) {
    tunersim::ReadyModule(kId);
    unsigned short length = 0;
    unsigned long tag = 0;
    std::vector<unsigned char> body(OMBREL_CI_MMI_BODY_SIZE);
    const auto read = [&] {
        length = 0;
        tag = 0;
        return OB_CI_GetMMIObject(handle_, &length, &tag, body.data()) == OB_SUCCESS;
    };

    ASSERT_EQ(OB_CI_EnterMenu(handle_), OB_SUCCESS);
    ASSERT_TRUE(read());
    ASSERT_EQ(tag, OMBREL_MMI_TAG_MENU_LAST);
    ChoiceBody menu = ReadChoiceBody(body.data(), length);
    ASSERT_TRUE(menu.wellFormed);
    EXPECT_EQ(menu.count, 4);
    const std::vector<std::string> main{"Kestrel Conditional Access", "Main menu", "Choose an entry",
                                        "Module information", "Subscriptions", "Parental control", "Language"};
    EXPECT_EQ(menu.texts, main);

    // A list long enough for the two-byte length form: 14 lines after the three texts.
    ASSERT_EQ(OB_CI_SendMenuAnswer(handle_, 2), OB_SUCCESS);
    ASSERT_TRUE(read());
    ASSERT_EQ(tag, OMBREL_MMI_TAG_LIST_LAST);
    ASSERT_GT(length, 255);
    const ChoiceBody list = ReadChoiceBody(body.data(), length);
    ASSERT_TRUE(list.wellFormed);
    EXPECT_EQ(list.count, 14);
    ASSERT_EQ(list.texts.size(), 3u + 14u);
    EXPECT_EQ(list.texts[0], "Subscriptions");
    EXPECT_EQ(list.texts[3].rfind("Service 101  Kestrel One", 0), 0u);
    ASSERT_EQ(OB_CI_SendMenuAnswer(handle_, 0), OB_SUCCESS);  // a list is left with 0

    // The enquiry: blind flag, expected answer length, then the prompt as plain text.
    ASSERT_TRUE(read());
    ASSERT_EQ(tag, OMBREL_MMI_TAG_MENU_LAST);
    ASSERT_EQ(OB_CI_SendMenuAnswer(handle_, 3), OB_SUCCESS);
    ASSERT_TRUE(read());
    ASSERT_EQ(tag, OMBREL_MMI_TAG_ENQ);
    ASSERT_GE(length, 2);
    EXPECT_EQ(body[0] & 0x01, 1);  // blind
    EXPECT_EQ(body[1], 4);         // answer length
    EXPECT_EQ(std::string(body.begin() + 2, body.begin() + length), "Enter the parental PIN (4 digits)");
    const unsigned char pin[] = {'1', '2', '3', '4'};
    ASSERT_EQ(OB_CI_SendEnqAnswer(handle_, 1, 4, pin), OB_SUCCESS);
    ASSERT_TRUE(read());
    ASSERT_EQ(tag, OMBREL_MMI_TAG_MENU_LAST);
    menu = ReadChoiceBody(body.data(), length);
    ASSERT_TRUE(menu.wellFormed);
    EXPECT_EQ(menu.count, 3);
    ASSERT_EQ(menu.texts.size(), 6u);
    EXPECT_EQ(menu.texts[0], "Parental control");
    EXPECT_EQ(menu.texts[3].rfind("From 12 years", 0), 0u);
    ASSERT_EQ(OB_CI_CloseMMI(handle_), OB_SUCCESS);
}
