// The driver's replies to Common Interface queries: the 1036-byte message holding any
// bytes (the input, cut or padded with zeros), length fields that claim more than the
// message holds included; and the commands the library builds from a caller's values.
//
// Properties:
// - The message lies at the end of a heap block, and the caller's buffers are blocks of
//   exactly the size the API names (255 bytes of menu string, 1020 of MMI body): reading
//   past the reply or writing past a buffer is a finding.
// - The decoded reply fits its record: the menu string is the length byte's count of
//   bytes; the MMI body lies within the payload behind its length field, is no longer
//   than the field claims nor than 1020, and is cut exactly when the claim exceeds the
//   room; unreadable length forms give no body.
// - The companion's reading of the body stays bounded: each entry takes at least four
//   body bytes, and its texts add up to no more than the body.
// - An enquiry answer and a CA PMT that the library builds read back as what was given:
//   the answer object's length field is the shortest form for the text, and the
//   command's Length is the payload's size; out-of-range PMT arguments build nothing.
#include "CiMessages.h"
#include "CiReplies.h"
#include "En50221Length.h"
#include "FuzzSupport.h"
#include "MmiScreen.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace ombrel::ci;

constexpr std::size_t kMenuStringBuffer = 255;
constexpr std::size_t kMmiBodyBuffer = 1020;

// A command's Length field (little-endian).
std::size_t LengthOf(const Message& message) {
    return std::size_t{message[kLengthOffset]} | std::size_t{message[kLengthOffset + 1]} << 8;
}

bool Within(std::span<const std::uint8_t> part, const Message& whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void CheckApplicationInfo(const Message& reply) {
    const std::uint8_t* payload = reply.data() + kPayloadOffset;
    const ApplicationInfo info = ReadApplicationInfo(reply);
    FUZZ_REQUIRE(info.manufacturer == (payload[0] << 8 | payload[1]), "manufacturer, high byte first");
    FUZZ_REQUIRE(info.manufacturerCode == (payload[2] << 8 | payload[3]), "manufacturer code, high byte first");
    FUZZ_REQUIRE(info.menuString.size() == payload[4], "the menu string is as long as its length byte says");
    FUZZ_REQUIRE(info.menuString.empty() || info.menuString.data() == payload + 5, "and begins behind it");
    FUZZ_REQUIRE(Within(info.menuString, reply), "within the reply");
    // The export copies it into the caller's 255 bytes.
    std::unique_ptr<std::uint8_t[]> caller(new std::uint8_t[kMenuStringBuffer]);
    std::copy(info.menuString.begin(), info.menuString.end(), caller.get());
    FUZZ_REQUIRE(ReadDateTime(reply) == payload[0], "the date-time reply is payload byte 0");
}

companion::ci::MmiScreen CheckMmiObject(const Message& reply) {
    const std::uint8_t* payload = reply.data() + kPayloadOffset;
    const MmiObject object = ReadMmiObject(reply);
    FUZZ_REQUIRE(object.tag == (std::uint32_t{payload[0]} << 16 | payload[1] << 8 | payload[2]), "the 24-bit tag");
    const std::uint8_t form = payload[3];
    std::size_t start = 0, claim = 0;
    if (form < 0x80) {
        start = 4, claim = form;
    } else if (form == 0x81) {
        start = 5, claim = payload[4];
    } else if (form == 0x82) {
        start = 6, claim = std::size_t{payload[4]} << 8 | payload[5];
    }
    if (start == 0) {
        FUZZ_REQUIRE(!object.bodyRead && object.body.empty(), "80 and 83..FF give no length and no body");
        return {};
    }
    const std::size_t room = kPayloadSize - start;
    FUZZ_REQUIRE(object.bodyRead, "the three readable forms give a body");
    FUZZ_REQUIRE(object.cut == (claim > room), "cut exactly when the claim exceeds what the message holds");
    FUZZ_REQUIRE(object.body.size() == std::min(claim, room), "the claimed length, cut at the message's end");
    FUZZ_REQUIRE(object.body.empty() || object.body.data() == payload + start, "the body follows its length field");
    FUZZ_REQUIRE(Within(object.body, reply), "within the reply");
    FUZZ_REQUIRE(object.body.size() <= kMmiBodyBuffer, "it fits the caller's 1020 bytes");
    std::unique_ptr<std::uint8_t[]> caller(new std::uint8_t[kMmiBodyBuffer]);
    std::copy(object.body.begin(), object.body.end(), caller.get());
    return companion::ci::ReadMmiScreen(object.tag, object.body);
}

void CheckScreen(const companion::ci::MmiScreen& screen, std::size_t bodySize) {
    using companion::ci::MmiKind;
    std::size_t texts = screen.title.size() + screen.subtitle.size() + screen.bottom.size();
    for (const std::string& entry : screen.entries) texts += entry.size();
    FUZZ_REQUIRE(texts <= bodySize, "the screen's texts come from the body");
    if (screen.kind == MmiKind::Menu || screen.kind == MmiKind::List) {
        // The count byte, then title, subtitle, bottom and entries as text objects of at
        // least a tag and a length byte each.
        const std::size_t objects = 3 + screen.entries.size();
        FUZZ_REQUIRE(1 + objects * 4 + texts <= bodySize, "each text object takes its tag and length field");
        FUZZ_REQUIRE(1 + objects * 6 + texts >= bodySize, "and nothing else lies between them");
    }
    if (screen.kind == MmiKind::Unreadable) FUZZ_REQUIRE(screen.entries.empty(), "an unreadable object shows nothing");
}

void CheckEnquiryAnswer(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    const std::uint8_t answerId = data[0];
    const std::uint8_t length = data[1];
    std::vector<std::uint8_t> text(data + 2, data + std::min<std::size_t>(size, 2 + length));
    text.resize(length, 'x');
    const auto payload = EnqAnswerPayload(answerId, text.data(), length);
    FUZZ_REQUIRE(payload.has_value(), "an answer with its text is always built");
    const Message command = Command(5, *payload);
    FUZZ_REQUIRE(LengthOf(command) == payload->View().size(),
                 "Length is the payload's size");
    const MmiObject object = ReadMmiObject(command);
    FUZZ_REQUIRE(object.tag == kTagAnswer && object.bodyRead && !object.cut, "an answ object, read whole");
    if (answerId == 0) {
        FUZZ_REQUIRE(object.body.size() == 1 && object.body[0] == 0, "a cancel carries its identifier 0 and no text");
        return;
    }
    const std::uint8_t form = command[kPayloadOffset + 3];
    const std::size_t fieldSize = form < 0x80 ? 1 : form == 0x81 ? 2 : 3;
    FUZZ_REQUIRE(fieldSize == LengthFieldSize(length + 1), "the shortest length form for the text");
    FUZZ_REQUIRE(object.body.size() == length + 1u && object.body[0] == answerId, "the identifier, then the text");
    FUZZ_REQUIRE(std::equal(text.begin(), text.end(), object.body.begin() + 1), "the text as given");
}

void CheckPmt(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return;
    const std::uint8_t listManagement = data[0] % 8;
    const std::uint8_t command = data[1] % 8;
    const std::size_t length = (std::size_t{data[2]} << 8 | data[3]) % 1100;
    std::vector<std::uint8_t> pmt(length == 0 ? 1 : length);
    for (std::size_t i = 0; i < pmt.size(); ++i) pmt[i] = size > 4 ? data[4 + i % (size - 4)] : 0x47;
    const auto payload = PmtPayload(listManagement, command, pmt.data(), length);
    const bool valid = length >= 1 && length <= kMaxPmtLength && listManagement <= 5 && command <= 4;
    FUZZ_REQUIRE(payload.has_value() == valid, "built exactly for PMTs of 1..1024 bytes, list management 0..5, command 0..4");
    if (!payload) return;
    const Message message = Command(2, *payload);
    FUZZ_REQUIRE(LengthOf(message) == length + 2, "Length is n + 2");
    FUZZ_REQUIRE(message[kPayloadOffset] == listManagement && message[kPayloadOffset + 1] == command, "the two leading bytes");
    FUZZ_REQUIRE(std::equal(pmt.begin(), pmt.begin() + static_cast<std::ptrdiff_t>(length), message.begin() + kPayloadOffset + 2),
                 "then the PMT as given");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reply as the driver leaves it in the library's buffer: the input from the
    // message's start, zeros behind it, nothing past its 1036 bytes.
    std::unique_ptr<Message> reply(new Message{});
    std::memcpy(reply->data(), data, std::min(size, kMessageSize));
    CheckApplicationInfo(*reply);
    const MmiObject object = ReadMmiObject(*reply);
    CheckScreen(CheckMmiObject(*reply), object.body.size());
    CheckEnquiryAnswer(data, size);
    CheckPmt(data, size);
    return 0;
}
