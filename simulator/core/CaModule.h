// The simulated driver's Common Interface: the slot's status word (get 28), the
// commands (set 22) and the queries (set and get 23), served by the box's slot and the
// conditional-access module in it (plain C++).
//
// Only boxes with a slot answer these properties. Every well-formed message is recorded
// as it arrived, also when the module refuses it; commands and queries other than the
// session's open command need a ready module.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "CaModuleState.h"
#include "PropertyLogic.h"

namespace tunersim::ca {

inline constexpr unsigned kCommandProperty = 22;
inline constexpr unsigned kRequestProperty = 23;
inline constexpr unsigned kStatusProperty = 28;

// Status word bits.
inline constexpr uint16_t kStatusSlotPowered = 0x0001;  // not read by the library
inline constexpr uint16_t kStatusReadyLow = 0x0002;
inline constexpr uint16_t kStatusPresent = 0x0010;
inline constexpr uint16_t kStatusReadyHigh = 0x0020;
inline constexpr uint16_t kEventBits = 0x01C0;  // 0x0040, 0x0080, 0x0100

// The module's application information and date-time request.
inline constexpr uint16_t kManufacturer = 0x4B45;
inline constexpr uint16_t kManufacturerCode = 0x0241;
inline constexpr std::string_view kMenuString = "Kestrel CAM";
inline constexpr uint8_t kDateTimeInterval = 60;  // seconds between date-time updates

// Which models carry a slot, by their identification bytes.
bool ModelHasSlot(uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision);

bool IsCiProperty(unsigned property);

uint16_t StatusWord(const layout::CaModuleState& module);

// Whether the module descrambles a program now: ready, and the program stands in its CA
// PMT list with ok_descrambling and a PMT that names the module's CA system.
bool Descrambles(const layout::CaModuleState& module, uint16_t program);

// The slot, changed by the control tool.
void Insert(layout::CaModuleState& module);  // present, starting up (also a reset)
void MakeReady(layout::CaModuleState& module);
void Remove(layout::CaModuleState& module);
void SetEvents(layout::CaModuleState& module, uint16_t bits);  // within kEventBits
// Answered to the next MMI queries instead of the menus; the rest of the payload holds
// its own offset (byte i is i mod 256). Empty: the menus again.
void SetRawMmiObject(layout::CaModuleState& module, std::span<const uint8_t> object);

// A get of 22, 23 or 28. `limit` is the number of bytes to write (an injected short
// answer); a get of 23 answers the query whose type stands in `data`.
property::Answer Get(layout::CaModuleState& module, unsigned property, uint8_t* data, uint32_t length,
                     uint32_t limit);
property::Answer Set(layout::CaModuleState& module, unsigned property, const uint8_t* data, uint32_t length);

}  // namespace tunersim::ca
