// Control of the simulated Common Interface: the module in a box's slot, its pending
// events, a raw MMI object to answer with, and the report of what it received.
#include <algorithm>
#include <cstring>
#include <string>

#include "CaMenus.h"
#include "CaModule.h"
#include "ControlState.h"
#include "TunerSimControl.h"

namespace tunersim {

namespace {

layout::CaModuleState& SlotOf(StateLock& lock, const std::string& id) {
    layout::DeviceRecord& d = Known(lock, id);
    if (!d.ci.slot) throw Error("device " + id + " has no Common Interface slot");
    return d.ci;
}

CiMessageCopy Copy(const layout::CiReceipt& receipt) {
    CiMessageCopy copy;
    copy.count = receipt.count;
    copy.length = receipt.length;
    std::memcpy(copy.bytes.data(), receipt.message, copy.bytes.size());
    return copy;
}

}  // namespace

void InsertModule(const std::string& id) {
    StateLock lock = LockState();
    ca::Insert(SlotOf(lock, id));
}

void ReadyModule(const std::string& id) {
    StateLock lock = LockState();
    ca::MakeReady(SlotOf(lock, id));
}

void RemoveModule(const std::string& id) {
    StateLock lock = LockState();
    ca::Remove(SlotOf(lock, id));
}

void SetModuleEvents(const std::string& id, uint16_t bits) {
    if (bits & ~ca::kEventBits) throw Error("event bits must be among 0x0040, 0x0080 and 0x0100");
    StateLock lock = LockState();
    ca::SetEvents(SlotOf(lock, id), bits);
}

void SetRawMmiObject(const std::string& id, const std::vector<uint8_t>& object) {
    if (object.size() > layout::kCiPayloadBytes) throw Error("an MMI object holds at most 1026 bytes");
    StateLock lock = LockState();
    ca::SetRawMmiObject(SlotOf(lock, id), object);
}

ModuleReport CommonInterface(const std::string& id) {
    StateLock lock = LockState();
    const layout::CaModuleState& m = Known(lock, id).ci;
    ModuleReport r;
    r.slot = m.slot != 0;
    r.state = static_cast<ModuleState>(m.phase);
    r.statusWord = ca::StatusWord(m);
    r.screen = std::string(ca::ScreenName(m.screen));
    r.rating = m.rating;
    r.language = std::string(m.language, strnlen(m.language, sizeof m.language));
    r.opens = m.opens;
    r.lastCommand = Copy(m.lastCommand);
    r.lastRequest = Copy(m.lastRequest);
    r.pmts = m.pmts;
    r.pmtListManagement = m.pmtListManagement;
    r.pmtCommand = m.pmtCommand;
    r.pmtLength = m.pmtLength;
    r.pmtProgram = m.pmtProgram;
    r.descrambling = m.descrambling != 0;
    r.descrambledService = m.descrambledService;
    r.serviceIds = m.serviceIds;
    r.serviceId = m.serviceId;
    r.dateTimes = m.dateTimes;
    r.dateTime.assign(m.dateTime, m.dateTime + std::min<std::size_t>(m.dateTimeLength, sizeof m.dateTime));
    r.menuEntries = m.menuEntries;
    r.menuAnswers = m.menuAnswers;
    r.lastChoice = m.lastChoice;
    r.enquiryAnswers = m.enquiryAnswers;
    r.lastAnswerId = m.lastAnswerId;
    r.lastAnswer = std::string(m.lastAnswer, strnlen(m.lastAnswer, sizeof m.lastAnswer));
    r.mmiCloses = m.mmiCloses;
    return r;
}

}  // namespace tunersim
