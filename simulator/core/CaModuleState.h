// The Common Interface slot of a simulated box and the conditional-access module in it:
// one plain block of the device record (trivially copyable, no pointers).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tunersim::layout {

inline constexpr std::size_t kCiMessageBytes = 1036;
inline constexpr std::size_t kCiPayloadBytes = 1026;
inline constexpr std::size_t kCiMaxAnswerBytes = 255;

// Programs of the CA PMT list that the module keeps (EN 50221 list management).
inline constexpr std::size_t kCaListPrograms = 16;

enum class ModulePhase : uint32_t { Empty = 0, Starting = 1, Ready = 2 };

// The last message of one kind as the driver received it.
struct CiReceipt {
    uint32_t count;   // messages of this kind so far
    uint32_t length;  // property data length of the last one
    uint8_t message[kCiMessageBytes];
};

// One program of the module's CA PMT list.
struct CaListEntry {
    uint16_t program;
    uint8_t command;     // ca_pmt_cmd_id of its last CA PMT: 1 ok_descrambling, 2 ok_mmi, 4 not_selected
    uint8_t caSystem;    // 1: its PMT names the module's CA system
};

struct CaModuleState {
    uint32_t slot;        // 1: the box has a CI slot (fixed when it is first plugged)
    ModulePhase phase;
    uint16_t events;      // pending event bits of the status word, as raised
    uint16_t reserved;

    // The MMI: which screen of the module's menus is open (0: none), and what the
    // user chose on the way.
    uint32_t screen;
    uint8_t rating;       // maturity rating in years
    char language[4];     // menu language, NUL-terminated
    uint8_t reserved2[3];
    // An object given by the control tool, answered instead of the menus (length 0: none).
    uint32_t rawMmiLength;
    uint8_t rawMmi[kCiPayloadBytes];

    // What the module received.
    uint32_t opens;
    CiReceipt lastCommand;  // set 22
    CiReceipt lastRequest;  // set 23
    uint32_t pmts;
    uint8_t pmtListManagement, pmtCommand;
    uint16_t pmtLength;
    uint16_t pmtProgram;
    uint16_t descrambledService;
    uint32_t descrambling;  // 1 while descrambledService is being descrambled
    uint32_t serviceIds;
    uint16_t serviceId;
    uint8_t dateTimeLength;
    uint8_t dateTime[7];
    uint32_t dateTimes;
    uint32_t menuEntries;
    uint32_t menuAnswers;
    uint8_t lastChoice;
    uint8_t lastAnswerId;
    uint8_t lastAnswerLength;
    uint8_t reserved3;
    uint32_t enquiryAnswers;
    char lastAnswer[kCiMaxAnswerBytes + 1];
    uint32_t mmiCloses;

    // The CA PMT list as the host built it; a program is descrambled while it stands here
    // with ok_descrambling and a PMT that names the module's CA system.
    uint32_t listCount;
    CaListEntry list[kCaListPrograms];
};

}  // namespace tunersim::layout
