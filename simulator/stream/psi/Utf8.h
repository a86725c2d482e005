// Reading UTF-8 one character at a time: the reader's units (tools/tables) keep the one
// implementation; the table writers use it under their own namespace.
#pragma once

#include "Utf8Text.h"

namespace tunersim::stream::psi {

using talvex::tables::NextUtf8Char;
using talvex::tables::Utf8Char;

}  // namespace tunersim::stream::psi
