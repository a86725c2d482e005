// What the companions show of a tuner: the list rows and the status line. Plain text,
// no window system; the window turns it into list box items.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace companion {

// One attached device as the library reports it.
struct TunerInfo {
    bool opened = false;       // false: the library lists it but could not open it
    unsigned long handle = 0;  // the open library handle, 0 when not opened
    std::string model;    // device string
    std::string guid;     // GUID string
    bool bda = false;     // found through the BDA driver model (else WDM)
    bool commonInterface = false;  // the model has a Common Interface slot, as the library says
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

// List rows, fields separated by tabs (the list box has tab stops): model, GUID,
// driver model.
std::string RemoteRow(const TunerInfo& tuner);

// Status lines.
std::string RemoteStatus(const std::vector<TunerInfo>& tuners);

// Shown until the library has reported the tuners for the first time.
inline constexpr std::string_view kSearchingStatus = "Looking for tuners...";
// Shown in place of the list when the library did not start.
inline constexpr std::string_view kLibraryFailedStatus = "The tuner library could not be started.";

}  // namespace companion
