// The simulated conditional-access module on a bare device record: which boxes have a
// slot, the status word, the commands and queries of properties 22, 23 and 28, and a
// walk through the module's menus with every length form of the EN 50221 objects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CaMenus.h"
#include "CaModule.h"
#include "PropertyLogic.h"

namespace {

using namespace tunersim;
using property::Outcome;
using Bytes = std::vector<uint8_t>;

layout::DeviceRecord RecordWithSlot() {
    layout::DeviceRecord d;
    std::memset(&d, 0, sizeof d);
    d.used = 1;
    d.plugged = 1;
    d.ci.slot = 1;
    return d;
}

using Message = std::array<uint8_t, 1036>;

Message Build(uint8_t type, const Bytes& payload) {
    Message m{};
    m[1] = type;
    m[8] = static_cast<uint8_t>(payload.size() & 0xFF);
    m[9] = static_cast<uint8_t>(payload.size() >> 8);
    std::copy(payload.begin(), payload.end(), m.begin() + 10);
    return m;
}

Outcome Command(layout::DeviceRecord& d, uint8_t type, const Bytes& payload) {
    const Message m = Build(type, payload);
    return property::Set(d, 22, m.data(), 1036, {}, 0, nullptr).outcome;
}

// A query as the library makes it: set 23, then get 23 into the same buffer.
Outcome Query(layout::DeviceRecord& d, uint8_t type, Message& reply) {
    reply = Build(type, {});
    reply[8] = 0;
    EXPECT_EQ(property::Set(d, 23, reply.data(), 1036, {}, 0, nullptr).outcome,
              type == 1 || type == 4 || type == 5 ? Outcome::Ok : Outcome::Fail);
    return property::Get(d, 23, reply.data(), 1036, {}, 0).outcome;
}

uint16_t Status(layout::DeviceRecord& d) {
    uint8_t word[2] = {0xEE, 0xEE};
    EXPECT_EQ(property::Get(d, 28, word, 2, {}, 0).outcome, Outcome::Ok);
    return static_cast<uint16_t>(word[0] | word[1] << 8);
}

// The MMI object the module shows now, decoded: tag, body.
struct Object {
    uint32_t tag = 0;
    Bytes lengthField;
    Bytes body;
};
Object Shown(layout::DeviceRecord& d) {
    Message reply;
    Object object;
    if (Query(d, 5, reply) != Outcome::Ok) return object;
    const uint8_t* p = reply.data() + 10;
    object.tag = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    const auto field = ca::ReadLength(p + 3, 1023);
    EXPECT_TRUE(field.has_value());
    if (!field) return object;
    object.lengthField.assign(p + 3, p + 3 + field->fieldSize);
    object.body.assign(p + 3 + field->fieldSize, p + 3 + field->fieldSize + field->length);
    return object;
}

// The texts of a menu or list body: title, subtitle, bottom, then the entries.
std::vector<std::string> Texts(const Bytes& body) {
    std::vector<std::string> texts;
    std::size_t at = 1;
    while (at + 4 <= body.size()) {
        EXPECT_EQ(body[at], 0x9F);
        EXPECT_EQ(body[at + 2], 0x03);
        const auto field = ca::ReadLength(body.data() + at + 3, body.size() - at - 3);
        if (!field) break;
        const std::size_t start = at + 3 + field->fieldSize;
        texts.emplace_back(body.begin() + static_cast<std::ptrdiff_t>(start),
                           body.begin() + static_cast<std::ptrdiff_t>(start + field->length));
        at = start + field->length;
    }
    EXPECT_EQ(at, body.size());
    return texts;
}

Outcome Choose(layout::DeviceRecord& d, uint8_t choice) { return Command(d, 5, {0x9F, 0x88, 0x0B, 0x01, choice}); }

Outcome Answer(layout::DeviceRecord& d, uint8_t id, const std::string& text) {
    Bytes payload{0x9F, 0x88, 0x08};
    ca::AppendLength(payload, text.size() + 1);
    payload.push_back(id);
    payload.insert(payload.end(), text.begin(), text.end());
    return Command(d, 5, payload);
}

}  // namespace

TEST(CaModule, SlotsFollowTheModelsAndOnlyThoseBoxesAnswer) {
    EXPECT_TRUE(ca::ModelHasSlot(1, 0x34, 4));
    EXPECT_TRUE(ca::ModelHasSlot(1, 0x28, 1));
    EXPECT_TRUE(ca::ModelHasSlot(10, 0x24, 0));
    EXPECT_FALSE(ca::ModelHasSlot(1, 0x14, 1));
    EXPECT_FALSE(ca::ModelHasSlot(1, 0x37, 1));
    EXPECT_FALSE(ca::ModelHasSlot(10, 0x25, 1));
    EXPECT_FALSE(ca::ModelHasSlot(10, 0x1F, 1));
    EXPECT_FALSE(ca::ModelHasSlot(2, 0x34, 4));

    layout::DeviceRecord d = RecordWithSlot();
    d.ci.slot = 0;
    uint8_t word[2];
    Message m = Build(0, {0});
    EXPECT_EQ(property::Get(d, 28, word, 2, {}, 0).outcome, Outcome::Unsupported);
    EXPECT_EQ(property::Set(d, 22, m.data(), 1036, {}, 0, nullptr).outcome, Outcome::Unsupported);
    EXPECT_EQ(property::Set(d, 23, m.data(), 1036, {}, 0, nullptr).outcome, Outcome::Unsupported);
    EXPECT_EQ(property::Get(d, 23, m.data(), 1036, {}, 0).outcome, Outcome::Unsupported);
    EXPECT_EQ(d.ci.lastCommand.count, 0u);
}

TEST(CaModule, StatusWordFollowsTheModuleAndTheRaisedEvents) {
    layout::DeviceRecord d = RecordWithSlot();
    EXPECT_EQ(Status(d), 0x0001);
    ca::Insert(d.ci);
    EXPECT_EQ(Status(d), 0x0011);
    ca::MakeReady(d.ci);
    EXPECT_EQ(Status(d), 0x0033);
    ca::SetEvents(d.ci, 0x01C0);
    EXPECT_EQ(Status(d), 0x01F3);
    EXPECT_EQ(Status(d), 0x01F3);  // pending until changed
    ca::SetEvents(d.ci, 0x0040 | 0x0008);
    EXPECT_EQ(Status(d), 0x0073);
    ca::Insert(d.ci);  // a reset: present, starting again
    EXPECT_EQ(Status(d), 0x0051);
    ca::Remove(d.ci);
    ca::SetEvents(d.ci, 0);
    EXPECT_EQ(Status(d), 0x0001);

    uint8_t word[2];
    EXPECT_EQ(property::Get(d, 28, word, 4, {}, 0).outcome, Outcome::BadLength);
    EXPECT_EQ(property::Get(d, 28, nullptr, 2, {}, 0).outcome, Outcome::BadBuffer);
    // An injected short answer writes only that many bytes.
    ca::Insert(d.ci);
    word[0] = word[1] = 0xEE;
    EXPECT_EQ(property::Get(d, 28, word, 2, {3, 1, 0}, 0).bytes, 1u);
    EXPECT_EQ(word[0], 0x11);
    EXPECT_EQ(word[1], 0xEE);
}

TEST(CaModule, CommandsAreRecordedAndNeedAReadyModule) {
    layout::DeviceRecord d = RecordWithSlot();
    EXPECT_EQ(Command(d, 0, {0x00}), Outcome::Ok);  // the session's open needs no module
    EXPECT_EQ(d.ci.opens, 1u);
    const Bytes pmt{0x02, 0xB0, 0x12, 0x00, 0x65, 0xC1};
    Bytes payload{3, 1};
    payload.insert(payload.end(), pmt.begin(), pmt.end());
    EXPECT_EQ(Command(d, 2, payload), Outcome::Fail);
    EXPECT_EQ(d.ci.lastCommand.count, 2u);  // refused, but recorded as it came
    EXPECT_EQ(d.ci.lastCommand.message[1], 2);
    EXPECT_EQ(d.ci.pmts, 0u);

    ca::Insert(d.ci);
    ca::MakeReady(d.ci);
    EXPECT_EQ(Command(d, 2, payload), Outcome::Ok);
    EXPECT_EQ(d.ci.pmts, 1u);
    EXPECT_EQ(d.ci.pmtListManagement, 3);
    EXPECT_EQ(d.ci.pmtCommand, 1);
    EXPECT_EQ(d.ci.pmtLength, 6);
    EXPECT_EQ(d.ci.pmtProgram, 0x0065);
    EXPECT_EQ(d.ci.descrambling, 1u);
    EXPECT_EQ(d.ci.descrambledService, 0x0065);
    // query (3) changes nothing; not_selected (4) of that service stops it.
    payload[1] = 3;
    EXPECT_EQ(Command(d, 2, payload), Outcome::Ok);
    EXPECT_EQ(d.ci.descrambling, 1u);
    payload[1] = 4;
    EXPECT_EQ(Command(d, 2, payload), Outcome::Ok);
    EXPECT_EQ(d.ci.descrambling, 0u);
    EXPECT_EQ(Command(d, 2, {3}), Outcome::Fail);

    EXPECT_EQ(Command(d, 8, {0x12, 0x34}), Outcome::Ok);
    EXPECT_EQ(d.ci.serviceId, 0x1234);
    EXPECT_EQ(Command(d, 8, {0x12}), Outcome::Fail);
    EXPECT_EQ(Command(d, 4, {0xC0, 0x79, 0x12, 0x45, 0x30, 0x00, 0x78}), Outcome::Ok);
    EXPECT_EQ(d.ci.dateTimeLength, 7);
    EXPECT_EQ(d.ci.dateTime[6], 0x78);
    EXPECT_EQ(Command(d, 4, {1, 2, 3, 4, 5, 6}), Outcome::Fail);
    EXPECT_EQ(Command(d, 3, {}), Outcome::Fail);
    EXPECT_EQ(Command(d, 5, {0x9F, 0x88, 0x55, 0x01, 0x00}), Outcome::Fail);  // no such object
    EXPECT_EQ(Command(d, 5, {0x9F, 0x88, 0x0B, 0x05, 0x01}), Outcome::Fail);  // longer than sent

    Message oversized = Build(8, {0x12, 0x34});
    oversized[8] = 0x03;  // Length 1027
    oversized[9] = 0x04;
    EXPECT_EQ(property::Set(d, 22, oversized.data(), 1036, {}, 0, nullptr).outcome, Outcome::Fail);
    EXPECT_EQ(property::Set(d, 22, oversized.data(), 1035, {}, 0, nullptr).outcome, Outcome::BadLength);
    EXPECT_EQ(property::Set(d, 22, nullptr, 1036, {}, 0, nullptr).outcome, Outcome::BadBuffer);
}

TEST(CaModule, QueriesAnswerInTheSameBufferOnlyWhenThereIsAReply) {
    layout::DeviceRecord d = RecordWithSlot();
    Message reply;
    EXPECT_EQ(Query(d, 1, reply), Outcome::NoStatus);
    ca::Insert(d.ci);
    ca::MakeReady(d.ci);
    ASSERT_EQ(Query(d, 1, reply), Outcome::Ok);
    EXPECT_EQ(reply[1], 1);
    EXPECT_EQ((Bytes(reply.begin() + 10, reply.begin() + 15)), (Bytes{0x4B, 0x45, 0x02, 0x41, 11}));
    EXPECT_EQ(std::string(reply.begin() + 15, reply.begin() + 26), "Kestrel CAM");
    EXPECT_EQ(d.ci.lastRequest.count, 2u);  // also the one before the module was ready
    EXPECT_EQ(d.ci.lastRequest.message[1], 1);

    ASSERT_EQ(Query(d, 4, reply), Outcome::Ok);
    EXPECT_EQ(reply[10], 60);
    EXPECT_EQ(Query(d, 5, reply), Outcome::NoStatus);  // no menu open
    EXPECT_EQ(Query(d, 7, reply), Outcome::Fail);

    // A raw object stands in for the menus; the rest of the payload holds its offsets.
    ca::SetRawMmiObject(d.ci, Bytes{0x9F, 0x88, 0x0C, 0x82, 0xFF, 0xFF});
    ASSERT_EQ(Query(d, 5, reply), Outcome::Ok);
    EXPECT_EQ((Bytes(reply.begin() + 10, reply.begin() + 16)), (Bytes{0x9F, 0x88, 0x0C, 0x82, 0xFF, 0xFF}));
    for (std::size_t i = 6; i < 1026; ++i) ASSERT_EQ(reply[10 + i], static_cast<uint8_t>(i)) << i;
    ca::SetRawMmiObject(d.ci, {});
    EXPECT_EQ(Query(d, 5, reply), Outcome::NoStatus);

    // A short answer fills only its bytes.
    Message q = Build(1, {});
    q.fill(0xEE);
    q[1] = 1;
    EXPECT_EQ(property::Get(d, 23, q.data(), 1036, {3, 12, 0}, 0).bytes, 12u);
    EXPECT_EQ(q[10], 0x4B);
    EXPECT_EQ(q[12], 0xEE);
}

TEST(CaModule, MenusWalkedByAnswersInEveryLengthForm) {
    layout::DeviceRecord d = RecordWithSlot();
    EXPECT_EQ(Command(d, 7, {}), Outcome::Fail);  // no module yet
    ca::Insert(d.ci);
    ca::MakeReady(d.ci);
    EXPECT_EQ(Command(d, 7, {}), Outcome::Ok);

    Object main = Shown(d);
    EXPECT_EQ(main.tag, ca::kTagMenu);
    EXPECT_EQ(main.lengthField[0], 0x81);
    EXPECT_EQ(main.body[0], 4);  // entries
    EXPECT_EQ(Texts(main.body), (std::vector<std::string>{"Kestrel Conditional Access", "Main menu", "Choose an entry",
                                                          "Module information", "Subscriptions", "Parental control",
                                                          "Language"}));

    EXPECT_EQ(Choose(d, 1), Outcome::Ok);
    const Object info = Shown(d);
    EXPECT_EQ(info.tag, ca::kTagList);
    EXPECT_EQ(info.lengthField.size(), 1u);  // short form
    EXPECT_EQ(Texts(info.body)[0], "Module information");
    EXPECT_EQ(Choose(d, 0), Outcome::Ok);  // a list goes back with any answer
    EXPECT_EQ(Shown(d).tag, ca::kTagMenu);

    EXPECT_EQ(Choose(d, 2), Outcome::Ok);
    const Object subscriptions = Shown(d);
    EXPECT_EQ(subscriptions.lengthField[0], 0x82);
    EXPECT_GT(subscriptions.body.size(), 255u);
    EXPECT_EQ(Texts(subscriptions.body).size(), 3u + 14u);
    EXPECT_EQ(Choose(d, 1), Outcome::Ok);
    EXPECT_EQ(d.ci.screen, ca::kMainMenu);
    EXPECT_EQ(Choose(d, 9), Outcome::Ok);  // no such entry: stays
    EXPECT_EQ(d.ci.screen, ca::kMainMenu);

    // Parental control: a blind enquiry for 4 digits.
    EXPECT_EQ(Choose(d, 3), Outcome::Ok);
    const Object pin = Shown(d);
    EXPECT_EQ(pin.tag, ca::kTagEnquiry);
    EXPECT_EQ(pin.body[0], 0x01);
    EXPECT_EQ(pin.body[1], 4);
    EXPECT_EQ(std::string(pin.body.begin() + 2, pin.body.end()), "Enter the parental PIN (4 digits)");
    EXPECT_EQ(Choose(d, 1), Outcome::Ok);  // an enquiry waits for its answer
    EXPECT_EQ(d.ci.screen, ca::kParentalPin);
    EXPECT_EQ(Answer(d, 1, "0000"), Outcome::Ok);
    EXPECT_EQ(Texts(Shown(d).body)[1], "Wrong PIN");
    EXPECT_EQ(Choose(d, 0), Outcome::Ok);
    EXPECT_EQ(d.ci.screen, ca::kParentalPin);
    EXPECT_EQ(Answer(d, 1, "1234"), Outcome::Ok);
    EXPECT_EQ(d.ci.lastAnswer, std::string("1234"));
    EXPECT_EQ(Texts(Shown(d).body)[3], "From 12 years");
    EXPECT_EQ(Choose(d, 2), Outcome::Ok);
    EXPECT_EQ(d.ci.rating, 16);
    EXPECT_EQ(Texts(Shown(d).body)[3], "Maturity rating set to 16 years.");
    EXPECT_EQ(Choose(d, 0), Outcome::Ok);
    EXPECT_EQ(Texts(Shown(d).body)[4], "From 16 years (set)");
    EXPECT_EQ(Choose(d, 0), Outcome::Ok);

    // Language: a visible enquiry; a cancel goes back, an answer of any length is read
    // in its length form.
    EXPECT_EQ(Choose(d, 4), Outcome::Ok);
    EXPECT_EQ(Shown(d).body[0], 0x00);
    EXPECT_EQ(Answer(d, 0, ""), Outcome::Ok);
    EXPECT_EQ(d.ci.screen, ca::kMainMenu);
    EXPECT_EQ(Choose(d, 4), Outcome::Ok);
    const std::string longAnswer(200, 'x');
    EXPECT_EQ(Answer(d, 1, longAnswer), Outcome::Ok);
    EXPECT_EQ(d.ci.lastAnswerLength, 200);
    EXPECT_EQ(d.ci.language, std::string("xxx"));
    EXPECT_EQ(Choose(d, 0), Outcome::Ok);
    EXPECT_EQ(Choose(d, 4), Outcome::Ok);
    EXPECT_EQ(Answer(d, 1, std::string(255, 'y')), Outcome::Ok);  // 0x82 form
    EXPECT_EQ(d.ci.lastAnswerLength, 255);

    // Closed by the host, and by the module leaving the slot.
    EXPECT_EQ(Command(d, 5, {0x9F, 0x88, 0x00, 0x01, 0x00}), Outcome::Ok);
    EXPECT_EQ(d.ci.screen, ca::kClosed);
    Message reply;
    EXPECT_EQ(Query(d, 5, reply), Outcome::NoStatus);
    EXPECT_EQ(Command(d, 7, {}), Outcome::Ok);
    ca::Remove(d.ci);
    EXPECT_EQ(d.ci.screen, ca::kClosed);
    EXPECT_EQ(d.ci.menuEntries, 2u);
}
