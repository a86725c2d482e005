// The friendly names under which the driver's filters are taken (plain C++).
#pragma once

#include <span>
#include <string_view>

namespace ombrel {

enum class Category { WdmCapture, BdaTuner, BdaReceiver };

std::span<const std::wstring_view> FriendlyNamesOf(Category category);

// Whole-name comparison without regard to letter case.
bool IsAcceptedFriendlyName(Category category, std::wstring_view name);

}  // namespace ombrel
