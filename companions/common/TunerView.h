// What the companions show of a tuner: the list rows and the status line. Plain text,
// no window system; the window turns it into list box items.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ModelTable.h"

namespace companion {

enum class CiSlot { Present, Absent, Unknown };

// One attached device as the library reports it.
struct TunerInfo {
    bool opened = false;       // false: the library lists it but could not open it
    unsigned long handle = 0;  // the open library handle, 0 when not opened
    std::string model;    // device string
    std::string guid;     // GUID string
    bool bda = false;     // found through the BDA driver model (else WDM)
    CiSlot ci = CiSlot::Unknown;
};

// What identifies a listed device from one reading to the next: a box in both driver
// models is two devices with one GUID. Unopened devices have no key.
struct TunerKey {
    std::string guid;
    bool bda = false;
    bool operator==(const TunerKey&) const = default;
};
std::optional<TunerKey> KeyOf(const TunerInfo& tuner);
// Position of the first opened tuner with that key.
std::optional<size_t> IndexOf(const std::vector<TunerInfo>& tuners, const TunerKey& key);

// Identification bytes 0..2 of the firmware version record.
using Identification = std::array<uint8_t, 3>;

// The slot from the identification when it could be read, else from the model name.
// A readable record of no known product line is no tuner of the family: no slot.
CiSlot CiSlotOf(const std::optional<Identification>& identification, std::string_view modelName);

// What the model receives, found the same way; Unknown for no model of the table.
Reception ReceptionOf(const std::optional<Identification>& identification, std::string_view modelName);

// List rows, fields separated by tabs (the list box has tab stops).
std::string RemoteRow(const TunerInfo& tuner);
std::string CiRow(const TunerInfo& tuner);

// Status lines.
std::string RemoteStatus(const std::vector<TunerInfo>& tuners);
std::string CiStatus(const std::vector<TunerInfo>& tuners);

// Shown until the library has reported the tuners for the first time.
inline constexpr std::string_view kSearchingStatus = "Looking for tuners...";
// Shown in place of the list when the library did not start.
inline constexpr std::string_view kLibraryFailedStatus = "The tuner library could not be started.";

}  // namespace companion
