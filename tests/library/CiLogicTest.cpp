// The plain Common Interface units: the EN 50221 length field, the command messages
// byte by byte, the reading of replies, and the poll's state machine.
#include <gtest/gtest.h>

#include "ci/CiMessages.h"
#include "ci/CiPoll.h"
#include "ci/CiReplies.h"
#include "ci/En50221Length.h"

#include <string>
#include <vector>

using namespace ombrel::ci;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encoded(std::uint16_t length) {
    std::uint8_t field[kMaxLengthFieldSize] = {0xEE, 0xEE, 0xEE};
    return Bytes(field, field + EncodeLength(length, field));
}

// The Length field and the payload bytes it counts, checking that nothing else is set.
Bytes PayloadOf(const Message& message, std::uint8_t type) {
    EXPECT_EQ(message[kSlotOffset], 0);
    EXPECT_EQ(message[kTypeOffset], type);
    for (std::size_t i = 2; i < kLengthOffset; ++i) EXPECT_EQ(message[i], 0) << "reserved byte " << i;
    const std::size_t length = message[kLengthOffset] | message[kLengthOffset + 1] << 8;
    EXPECT_LE(length, kPayloadSize);
    for (std::size_t i = kPayloadOffset + length; i < kMessageSize; ++i) {
        if (message[i] != 0) {
            ADD_FAILURE() << "byte " << i << " beyond the payload is set";
            break;
        }
    }
    return Bytes(message.begin() + kPayloadOffset, message.begin() + kPayloadOffset + length);
}

Message Reply(const Bytes& payload, std::uint8_t fill = 0xA5) {
    Message reply{};
    std::fill(reply.begin() + kPayloadOffset, reply.end(), fill);
    std::copy(payload.begin(), payload.end(), reply.begin() + kPayloadOffset);
    return reply;
}

}  // namespace

TEST(CiLength, EveryLengthRoundTripsInItsShortestForm) {
    EXPECT_EQ(Encoded(0), (Bytes{0x00}));
    EXPECT_EQ(Encoded(0x7F), (Bytes{0x7F}));
    EXPECT_EQ(Encoded(0x80), (Bytes{0x81, 0x80}));
    EXPECT_EQ(Encoded(0xFF), (Bytes{0x81, 0xFF}));
    EXPECT_EQ(Encoded(0x100), (Bytes{0x82, 0x01, 0x00}));
    EXPECT_EQ(Encoded(0xFFFF), (Bytes{0x82, 0xFF, 0xFF}));
    for (std::uint32_t length = 0; length <= 0xFFFF; ++length) {
        const Bytes field = Encoded(static_cast<std::uint16_t>(length));
        ASSERT_EQ(field.size(), LengthFieldSize(static_cast<std::uint16_t>(length)));
        const auto decoded = DecodeLength(field);
        ASSERT_TRUE(decoded) << length;
        ASSERT_EQ(decoded->bodyLength, length);
        ASSERT_EQ(decoded->fieldSize, field.size());
    }
}

TEST(CiLength, UnreadFormsAndCutFieldsDecodeToNothing) {
    EXPECT_FALSE(DecodeLength(Bytes{0x80, 0x01}));
    for (int first = 0x83; first <= 0xFF; ++first)
        EXPECT_FALSE(DecodeLength(Bytes{static_cast<std::uint8_t>(first), 0, 0, 1})) << first;
    EXPECT_FALSE(DecodeLength(Bytes{}));
    EXPECT_FALSE(DecodeLength(Bytes{0x81}));
    EXPECT_FALSE(DecodeLength(Bytes{0x82, 0x01}));
    // Only the field's own bytes count: what follows is body.
    EXPECT_EQ(DecodeLength(Bytes{0x05, 0x82, 0xFF})->bodyLength, 5u);
}

TEST(CiMessages, EveryCommandByteByByte) {
    EXPECT_EQ(PayloadOf(Command(0, OpenPayload()), 0), (Bytes{0x00}));
    EXPECT_EQ(PayloadOf(Command(5, CloseMmiPayload()), 5), (Bytes{0x9F, 0x88, 0x00, 0x01, 0x00}));
    EXPECT_EQ(PayloadOf(Command(5, MenuAnswerPayload(0x07)), 5), (Bytes{0x9F, 0x88, 0x0B, 0x01, 0x07}));
    EXPECT_EQ(PayloadOf(Command(7, Payload()), 7), Bytes{});
    EXPECT_EQ(PayloadOf(Command(8, ServiceIdPayload(0x1234)), 8), (Bytes{0x12, 0x34}));

    const std::uint8_t utc[5] = {0xC0, 0x79, 0x12, 0x45, 0x30};
    EXPECT_EQ(PayloadOf(Command(4, DateTimePayload(utc, 0)), 4), (Bytes{0xC0, 0x79, 0x12, 0x45, 0x30}));
    EXPECT_EQ(PayloadOf(Command(4, DateTimePayload(utc, 0x0078)), 4),
              (Bytes{0xC0, 0x79, 0x12, 0x45, 0x30, 0x00, 0x78}));

    const std::uint8_t pmt[] = {0x02, 0xB0, 0x17, 0x00, 0x65};
    const auto short_ = PmtPayload(kListManagementOnly, kOkDescrambling, pmt, sizeof pmt);
    ASSERT_TRUE(short_);
    EXPECT_EQ(PayloadOf(Command(2, *short_), 2), (Bytes{0x03, 0x01, 0x02, 0xB0, 0x17, 0x00, 0x65}));

    // Queries carry Slot and Type only.
    const Message query = Query(5);
    EXPECT_EQ(PayloadOf(query, 5), Bytes{});
    EXPECT_EQ(query[kLengthOffset], 0);
}

TEST(CiMessages, PmtArgumentsAtAndBeyondTheirLimits) {
    std::vector<std::uint8_t> pmt(1025);
    for (std::size_t i = 0; i < pmt.size(); ++i) pmt[i] = static_cast<std::uint8_t>(i * 7);

    const auto longest = PmtPayload(5, 4, pmt.data(), 1024);
    ASSERT_TRUE(longest);
    const Bytes sent = PayloadOf(Command(2, *longest), 2);
    ASSERT_EQ(sent.size(), 1026u);  // the whole payload
    EXPECT_EQ(sent[0], 5);
    EXPECT_EQ(sent[1], 4);
    EXPECT_TRUE(std::equal(pmt.begin(), pmt.begin() + 1024, sent.begin() + 2));
    EXPECT_TRUE(PmtPayload(0, 0, pmt.data(), 1));

    EXPECT_FALSE(PmtPayload(3, 1, pmt.data(), 1025));
    EXPECT_FALSE(PmtPayload(3, 1, pmt.data(), 0));
    EXPECT_FALSE(PmtPayload(3, 1, nullptr, 10));
    EXPECT_FALSE(PmtPayload(6, 1, pmt.data(), 10));
    EXPECT_FALSE(PmtPayload(3, 5, pmt.data(), 10));
}

TEST(CiMessages, EnquiryAnswersTakeTheLengthFormTheirTextNeeds) {
    // Cancel: whatever length and text say.
    const std::uint8_t text[] = "1234";
    EXPECT_EQ(PayloadOf(Command(5, *EnqAnswerPayload(0, text, 4)), 5), (Bytes{0x9F, 0x88, 0x08, 0x01, 0x00}));
    EXPECT_EQ(PayloadOf(Command(5, *EnqAnswerPayload(0, nullptr, 200)), 5), (Bytes{0x9F, 0x88, 0x08, 0x01, 0x00}));
    EXPECT_EQ(PayloadOf(Command(5, *EnqAnswerPayload(1, text, 4)), 5),
              (Bytes{0x9F, 0x88, 0x08, 0x05, 0x01, '1', '2', '3', '4'}));
    EXPECT_EQ(PayloadOf(Command(5, *EnqAnswerPayload(1, nullptr, 0)), 5), (Bytes{0x9F, 0x88, 0x08, 0x01, 0x01}));
    EXPECT_FALSE(EnqAnswerPayload(1, nullptr, 3));

    std::vector<std::uint8_t> long_(255);
    for (std::size_t i = 0; i < long_.size(); ++i) long_[i] = static_cast<std::uint8_t>('A' + i % 26);
    struct Case {
        std::uint8_t n;
        Bytes field;
    };
    const Case cases[] = {{126, {0x7F}}, {127, {0x81, 0x80}}, {254, {0x81, 0xFF}}, {255, {0x82, 0x01, 0x00}}};
    for (const Case& c : cases) {
        const Bytes sent = PayloadOf(Command(5, *EnqAnswerPayload(2, long_.data(), c.n)), 5);
        ASSERT_EQ(sent.size(), 3 + c.field.size() + 1 + c.n) << int(c.n);
        EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 3), (Bytes{0x9F, 0x88, 0x08}));
        EXPECT_EQ(Bytes(sent.begin() + 3, sent.begin() + 3 + c.field.size()), c.field) << int(c.n);
        EXPECT_EQ(sent[3 + c.field.size()], 2);
        EXPECT_TRUE(std::equal(long_.begin(), long_.begin() + c.n, sent.begin() + 4 + c.field.size()));
    }
}

TEST(CiReplies, ApplicationInfoAndDateTime) {
    const Message reply = Reply({0x0B, 0x0E, 0x1D, 0x19, 0x05, 'M', 'e', 'n', 'u', '!', 'x'});
    const ApplicationInfo info = ReadApplicationInfo(reply);
    EXPECT_EQ(info.manufacturer, 0x0B0E);
    EXPECT_EQ(info.manufacturerCode, 0x1D19);
    EXPECT_EQ(std::string(info.menuString.begin(), info.menuString.end()), "Menu!");
    EXPECT_EQ(ReadApplicationInfo(Reply({1, 2, 3, 4, 0})).menuString.size(), 0u);
    // The longest menu string still lies inside the reply.
    EXPECT_EQ(ReadApplicationInfo(Reply({1, 2, 3, 4, 0xFF})).menuString.size(), 255u);
    EXPECT_EQ(ReadDateTime(Reply({0x3C, 0x01})), 0x3C);
}

TEST(CiReplies, MmiObjectsInEveryLengthForm) {
    struct Case {
        Bytes payload;
        bool read;
        std::size_t length;
        std::size_t bodyAt;  // offset in the payload
        bool cut;
    };
    const Case cases[] = {
        {{0x9F, 0x88, 0x03, 0x00}, true, 0, 4, false},
        {{0x9F, 0x88, 0x03, 0x7F}, true, 0x7F, 4, false},
        {{0x9F, 0x88, 0x09, 0x81, 0xC8}, true, 0xC8, 5, false},
        {{0x9F, 0x88, 0x0C, 0x82, 0x01, 0x2C}, true, 0x12C, 6, false},
        {{0x9F, 0x88, 0x0C, 0x82, 0x03, 0xFC}, true, 1020, 6, false},  // exactly to the end
        {{0x9F, 0x88, 0x0C, 0x82, 0x03, 0xFD}, true, 1020, 6, true},   // one byte too many
        {{0x9F, 0x88, 0x0C, 0x82, 0xFF, 0xFF}, true, 1020, 6, true},
        {{0x9F, 0x88, 0x0C, 0x83, 0x00, 0x00, 0x10}, false, 0, 0, false},
        {{0x9F, 0x88, 0x0C, 0x80}, false, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.payload));
        const Message reply = Reply(c.payload);
        const MmiObject object = ReadMmiObject(reply);
        EXPECT_EQ(object.tag, 0x9F8800u | c.payload[2]);
        ASSERT_EQ(object.bodyRead, c.read);
        if (!c.read) continue;
        EXPECT_EQ(object.body.size(), c.length);
        EXPECT_EQ(object.cut, c.cut);
        if (c.length > 0) {
            EXPECT_EQ(object.body.data(), reply.data() + kPayloadOffset + c.bodyAt);
        }
        EXPECT_LE(object.body.data() + object.body.size(), reply.data() + reply.size());
    }
}

namespace {

struct Step {
    std::uint16_t status;
    CiState after;
    std::vector<CiEvent> events;
};

void ExpectPolls(const std::vector<Step>& steps) {
    CiState state = CiState::NoModule;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const PollResult result = Poll(state, steps[i].status);
        const std::vector<CiEvent> events(result.Events().begin(), result.Events().end());
        EXPECT_EQ(result.state, steps[i].after) << "step " << i;
        EXPECT_EQ(events, steps[i].events) << "step " << i;
        state = result.state;
    }
}

}  // namespace

TEST(CiPoll, ModuleComesBecomesReadyAndGoes) {
    using E = CiEvent;
    ExpectPolls({
        {0x0000, CiState::NoModule, {}},
        {0x0010, CiState::ModulePresent, {E::ModulePresent}},
        {0x0012, CiState::ModulePresent, {}},  // half of the ready pair is not ready
        {0x0030, CiState::ModulePresent, {}},
        {0x0032, CiState::ModuleReady, {E::ModuleReady}},
        {0x0010, CiState::ModuleReady, {}},  // stays ready while present
        {0x0000, CiState::NoModule, {E::ModuleGone}},
        {0x0032, CiState::ModuleReady, {E::ModulePresent, E::ModuleReady}},  // found ready: both at once
        {0x0033, CiState::ModuleReady, {}},
        {0x0022, CiState::NoModule, {E::ModuleGone}},  // ready bits without presence: gone
        {0x0010, CiState::ModulePresent, {E::ModulePresent}},
        {0x0000, CiState::NoModule, {E::ModuleGone}},
        {0xFE2F, CiState::NoModule, {}},  // every ignored bit at once
    });
}

TEST(CiPoll, PendingEventsAtEveryReadingBeforeTheStateChanges) {
    using E = CiEvent;
    ExpectPolls({
        {0x0040, CiState::NoModule, {E::Flag40}},
        {0x0040, CiState::NoModule, {E::Flag40}},
        {0x0040, CiState::NoModule, {E::Flag40}},
        {0x01F2, CiState::ModuleReady, {E::Flag40, E::Flag80, E::Flag100, E::ModulePresent, E::ModuleReady}},
        {0x0100, CiState::NoModule, {E::Flag100, E::ModuleGone}},
        {0x0090, CiState::ModulePresent, {E::Flag80, E::ModulePresent}},
    });
}
