// Device ids, filter categories and the registry instance names under which a
// simulated box appears to the system device enumerator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "SharedLayout.h"

namespace tunersim::names {

// "{860BB310-5D01-11D0-BD3B-00A0C911CE86}" and the two BDA categories, by role.
std::string_view CategoryText(layout::Role role);

// A device id is exactly 16 hexadecimal digits (either letter case).
bool IsValidId(std::string_view id);
bool SameId(std::string_view a, std::string_view b);

// 16 lower-case hex digits spelling `value`.
std::string IdFromNumber(uint64_t value);

// "talvexsim#vid_1d19&pid_<model>#<subunit>#<id>#{category in lower case}": the id is
// the text between the last two '#', the subunit digit stands just before them.
std::string StandardInstanceName(layout::Role role, uint8_t modelCode, int subunit,
                                 std::string_view id);

// "@device:sw:{CATEGORY}\<instance>", as the enumerator's monikers spell it.
std::string DisplayName(layout::Role role, std::string_view instance);

// Returns a message for a person when the name cannot be a registry instance key name.
std::optional<std::string> InstanceNameProblem(std::string_view instance);
std::optional<std::string> FriendlyNameProblem(std::string_view name);

}  // namespace tunersim::names
