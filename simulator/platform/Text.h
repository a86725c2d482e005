// UTF-8 <-> UTF-16 at the Win32 edge.
#pragma once

#include <string>
#include <string_view>

namespace tunersim {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace tunersim
