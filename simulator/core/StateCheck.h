// Whether the simulator's state, as its file holds it, can be used as it is. The file
// outlives every process and anything may have written or damaged it; a state that is
// not sound is started afresh rather than read past its fields or acted on.
#pragma once

#include <optional>
#include <string>

#include "SharedLayout.h"

namespace tunersim::layout {

// The first problem found, for a person; nothing for a sound state. Records not in use
// are not looked at (a plug clears a record before it uses it).
std::optional<std::string> StateProblem(const SharedState& state);

}  // namespace tunersim::layout
