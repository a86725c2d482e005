#include "CaModule.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "CaMenus.h"
#include "CaPmtReader.h"
#include "Sky.h"
#include "TunerModels.h"

namespace tunersim::ca {
namespace {

using property::Answer;
using property::Outcome;
using layout::ModulePhase;

constexpr std::size_t kTypeOffset = 1;
constexpr std::size_t kLengthOffset = 8;
constexpr std::size_t kPayloadOffset = 10;
constexpr uint8_t kOkDescrambling = 1;
constexpr uint8_t kNotSelected = 4;

enum MessageType : uint8_t {
    kOpen = 0,
    kApplicationInfo = 1,
    kPmt = 2,
    kDateTime = 4,
    kMmi = 5,
    kEnterMenu = 7,
    kServiceId = 8,
};

bool Ready(const layout::CaModuleState& module) { return module.phase == ModulePhase::Ready; }

void Record(layout::CiReceipt& receipt, const uint8_t* data, uint32_t length) {
    ++receipt.count;
    receipt.length = length;
    std::memcpy(receipt.message, data, layout::kCiMessageBytes);
}

enum ListManagement : uint8_t { kMore = 0, kFirst = 1, kLast = 2, kOnly = 3, kAdd = 4, kUpdate = 5 };
constexpr uint8_t kQuery = 3;

// The list's length as far as the array holds it: the count lives in the shared state
// file, which a damaged or foreign file may fill with anything.
uint32_t ListLength(const layout::CaModuleState& module) {
    return std::min<uint32_t>(module.listCount, layout::kCaListPrograms);
}

// The program's place in the list, or nothing.
std::optional<uint32_t> Place(const layout::CaModuleState& module, uint16_t program) {
    for (uint32_t i = 0; i < ListLength(module); ++i)
        if (module.list[i].program == program) return i;
    return std::nullopt;
}

layout::CaListEntry* Find(layout::CaModuleState& module, uint16_t program) {
    const auto place = Place(module, program);
    return place ? &module.list[*place] : nullptr;
}

void Drop(layout::CaModuleState& module, uint16_t program) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < ListLength(module); ++i)
        if (module.list[i].program != program) module.list[kept++] = module.list[i];
    module.listCount = kept;
}

// EN 50221 list management: "only" and "first" begin a new list, "more", "last" and
// "add" extend it, "update" changes a program already in it. A query asks and changes
// nothing; not_selected takes the program out.
void Manage(layout::CaModuleState& module, uint8_t listManagement, uint8_t command, const PmtSummary& pmt) {
    if (command == kQuery) return;
    if (listManagement == kOnly || listManagement == kFirst) module.listCount = 0;
    layout::CaListEntry* entry = Find(module, pmt.program);
    if (listManagement == kUpdate && !entry) return;
    if (command == kNotSelected) {
        Drop(module, pmt.program);
        return;
    }
    if (!entry) {
        if (ListLength(module) == layout::kCaListPrograms) return;  // the module's list is full
        entry = &module.list[module.listCount++];
    }
    entry->program = pmt.program;
    entry->command = command;
    entry->caSystem = Names(pmt, sky::kCaSystemId) ? 1 : 0;
}

Outcome TakePmt(layout::CaModuleState& module, const uint8_t* payload, std::size_t length) {
    if (length < 2) return Outcome::Fail;
    const uint8_t command = payload[1];
    ++module.pmts;
    module.pmtListManagement = payload[0];
    module.pmtCommand = command;
    module.pmtLength = static_cast<uint16_t>(length - 2);
    const auto pmt = ReadPmtSection({payload + 2, length - 2});
    module.pmtProgram = pmt ? pmt->program : 0;
    if (!pmt) return Outcome::Ok;
    Manage(module, payload[0], command, *pmt);
    if (command == kOkDescrambling) module.descrambledService = pmt->program;
    const layout::CaListEntry* asked = Find(module, module.descrambledService);
    module.descrambling = asked && asked->command == kOkDescrambling ? 1 : 0;
    return Outcome::Ok;
}

Outcome TakeMmi(layout::CaModuleState& module, const uint8_t* payload, std::size_t length) {
    if (length < 4) return Outcome::Fail;
    const uint32_t tag = static_cast<uint32_t>(payload[0]) << 16 | payload[1] << 8 | payload[2];
    const auto field = ReadLength(payload + 3, length - 3);
    if (!field || 3 + field->fieldSize + field->length > length || field->length < 1) return Outcome::Fail;
    const uint8_t* body = payload + 3 + field->fieldSize;
    switch (tag) {
    case kTagCloseMmi:
        ++module.mmiCloses;
        CloseMmi(module);
        return Outcome::Ok;
    case kTagMenuAnswer:
        ++module.menuAnswers;
        module.lastChoice = body[0];
        MenuAnswer(module, body[0]);
        return Outcome::Ok;
    case kTagAnswer: {
        ++module.enquiryAnswers;
        module.lastAnswerId = body[0];
        const std::size_t n = std::min<std::size_t>(field->length - 1, layout::kCiMaxAnswerBytes);
        module.lastAnswerLength = static_cast<uint8_t>(n);
        std::memset(module.lastAnswer, 0, sizeof module.lastAnswer);
        std::memcpy(module.lastAnswer, body + 1, n);
        EnquiryAnswer(module, body[0], std::string_view(module.lastAnswer, n));
        return Outcome::Ok;
    }
    default:
        return Outcome::Fail;
    }
}

Outcome TakeCommand(layout::CaModuleState& module, const uint8_t* message) {
    const std::size_t length = message[kLengthOffset] | message[kLengthOffset + 1] << 8;
    if (length > layout::kCiPayloadBytes) return Outcome::Fail;
    const uint8_t* payload = message + kPayloadOffset;
    const uint8_t type = message[kTypeOffset];
    if (type == kOpen) {
        ++module.opens;
        return Outcome::Ok;
    }
    if (!Ready(module)) return Outcome::Fail;
    switch (type) {
    case kPmt: return TakePmt(module, payload, length);
    case kDateTime:
        if (length != 5 && length != 7) return Outcome::Fail;
        ++module.dateTimes;
        module.dateTimeLength = static_cast<uint8_t>(length);
        std::memset(module.dateTime, 0, sizeof module.dateTime);
        std::memcpy(module.dateTime, payload, length);
        return Outcome::Ok;
    case kMmi: return TakeMmi(module, payload, length);
    case kEnterMenu:
        ++module.menuEntries;
        EnterMenu(module);
        return Outcome::Ok;
    case kServiceId:
        if (length != 2) return Outcome::Fail;
        ++module.serviceIds;
        module.serviceId = static_cast<uint16_t>(payload[0] << 8 | payload[1]);
        return Outcome::Ok;
    default: return Outcome::Fail;
    }
}

// Writes the reply to the query whose type stands in `message`.
Outcome Reply(const layout::CaModuleState& module, uint8_t* message) {
    uint8_t* payload = message + kPayloadOffset;
    switch (message[kTypeOffset]) {
    case kApplicationInfo:
        if (!Ready(module)) return Outcome::NoStatus;
        payload[0] = static_cast<uint8_t>(kManufacturer >> 8);
        payload[1] = static_cast<uint8_t>(kManufacturer & 0xFF);
        payload[2] = static_cast<uint8_t>(kManufacturerCode >> 8);
        payload[3] = static_cast<uint8_t>(kManufacturerCode & 0xFF);
        payload[4] = static_cast<uint8_t>(kMenuString.size());
        std::memcpy(payload + 5, kMenuString.data(), kMenuString.size());
        return Outcome::Ok;
    case kDateTime:
        if (!Ready(module)) return Outcome::NoStatus;
        payload[0] = kDateTimeInterval;
        return Outcome::Ok;
    case kMmi: {
        if (!Ready(module)) return Outcome::NoStatus;
        if (module.rawMmiLength > 0) {
            for (std::size_t i = 0; i < layout::kCiPayloadBytes; ++i) payload[i] = static_cast<uint8_t>(i);
            std::memcpy(payload, module.rawMmi, module.rawMmiLength);
            return Outcome::Ok;
        }
        const std::vector<uint8_t> object = ScreenObject(module);
        if (object.empty()) return Outcome::NoStatus;  // no MMI open
        std::memcpy(payload, object.data(), std::min(object.size(), layout::kCiPayloadBytes));
        return Outcome::Ok;
    }
    default: return Outcome::Fail;
    }
}

bool IsQuery(uint8_t type) { return type == kApplicationInfo || type == kDateTime || type == kMmi; }

}  // namespace

bool ModelHasSlot(uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision) {
    return models::Identify(productLine, modelCode, hardwareRevision).commonInterface;
}

bool IsCiProperty(unsigned property) {
    return property == kCommandProperty || property == kRequestProperty || property == kStatusProperty;
}

uint16_t StatusWord(const layout::CaModuleState& module) {
    if (!module.slot) return 0;
    uint16_t word = kStatusSlotPowered | (module.events & kEventBits);
    if (module.phase != ModulePhase::Empty) word |= kStatusPresent;
    if (module.phase == ModulePhase::Ready) word |= kStatusReadyLow | kStatusReadyHigh;
    return word;
}

void Insert(layout::CaModuleState& module) {
    module.phase = ModulePhase::Starting;
    module.descrambling = 0;
    module.listCount = 0;
    CloseMmi(module);
}

bool Descrambles(const layout::CaModuleState& module, uint16_t program) {
    if (module.phase != ModulePhase::Ready) return false;
    const auto place = Place(module, program);
    return place && module.list[*place].command == kOkDescrambling && module.list[*place].caSystem;
}

void MakeReady(layout::CaModuleState& module) { module.phase = ModulePhase::Ready; }

void Remove(layout::CaModuleState& module) {
    module.phase = ModulePhase::Empty;
    module.descrambling = 0;
    module.listCount = 0;
    CloseMmi(module);
}

void SetEvents(layout::CaModuleState& module, uint16_t bits) { module.events = bits & kEventBits; }

void SetRawMmiObject(layout::CaModuleState& module, std::span<const uint8_t> object) {
    const std::size_t n = std::min(object.size(), layout::kCiPayloadBytes);
    std::memset(module.rawMmi, 0, sizeof module.rawMmi);
    if (n > 0) std::memcpy(module.rawMmi, object.data(), n);
    module.rawMmiLength = static_cast<uint32_t>(n);
}

Answer Get(layout::CaModuleState& module, unsigned property, uint8_t* data, uint32_t length, uint32_t limit) {
    if (!module.slot) return {Outcome::Unsupported, 0};
    if (property == kStatusProperty) {
        if (length != 2) return {Outcome::BadLength, 0};
        if (!data) return {Outcome::BadBuffer, 0};
        const uint16_t word = StatusWord(module);
        const uint8_t bytes[2] = {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
        const uint32_t n = std::min<uint32_t>(limit, 2);
        std::memcpy(data, bytes, n);
        return {Outcome::Ok, n};
    }
    if (property != kRequestProperty) return {Outcome::Unsupported, 0};
    if (length != layout::kCiMessageBytes) return {Outcome::BadLength, 0};
    if (!data) return {Outcome::BadBuffer, 0};
    uint8_t reply[layout::kCiMessageBytes];
    std::memcpy(reply, data, sizeof reply);
    const Outcome outcome = Reply(module, reply);
    if (outcome != Outcome::Ok) return {outcome, 0};
    const uint32_t n = std::min<uint32_t>(limit, length);
    std::memcpy(data, reply, n);
    return {Outcome::Ok, n};
}

Answer Set(layout::CaModuleState& module, unsigned property, const uint8_t* data, uint32_t length) {
    if (!module.slot) return {Outcome::Unsupported, 0};
    if (property != kCommandProperty && property != kRequestProperty) return {Outcome::Unsupported, 0};
    if (length != layout::kCiMessageBytes) return {Outcome::BadLength, 0};
    if (!data) return {Outcome::BadBuffer, 0};
    if (property == kRequestProperty) {
        Record(module.lastRequest, data, length);
        return {IsQuery(data[kTypeOffset]) ? Outcome::Ok : Outcome::Fail, 0};
    }
    Record(module.lastCommand, data, length);
    return {TakeCommand(module, data), 0};
}

}  // namespace tunersim::ca
