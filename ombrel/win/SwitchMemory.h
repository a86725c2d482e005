// Where ombrel last set each tuner's DiSEqC switch. A DiSEqC 1.0 switch cannot be asked
// where it points, so the input of every tune that chose one is kept per box (by GUID)
// in the user's registry, to be named when a later tune without --diseqc finds nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ombrel_cli {

// The input (0..3 for A..D) last chosen for the box; none when ombrel never chose one.
std::optional<std::uint8_t> RememberedSwitchInput(std::string_view guid);
// Keeps `input` for the box; a failure to keep it only loses the later hint.
void RememberSwitchInput(std::string_view guid, std::uint8_t input);

}  // namespace ombrel_cli
