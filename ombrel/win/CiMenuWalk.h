// 'ci <tuner> menu': the walk through the module's menus, on the console or from
// --answers.
#pragma once

#include "CiArguments.h"
#include "Tuners.h"

namespace ombrel_cli {

int WalkCiMenu(const OpenTuner& tuner, const CiArguments& arguments);

}  // namespace ombrel_cli
