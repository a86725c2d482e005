#include "FriendlyNames.h"

#include <cwctype>

namespace ombrel {
namespace {

constexpr std::wstring_view kWdm[] = {L"OMBREL", L"Ombrel WDM", L"HOLTRIM", L"Holtrim Capture"};
constexpr std::wstring_view kBdaTuner[] = {
    L"Ombrel BDA Tuner DVBS",  L"Ombrel BDA Tuner DVBT", L"Ombrel BDA Tuner DVBC",
    L"Talvex BDA Tuner DVBS",  L"Talvex BDA Tuner DVBS2", L"Talvex BDA Tuner DVBT",
    L"Talvex BDA Tuner DVBC"};
constexpr std::wstring_view kBdaReceiver[] = {
    L"Ombrel BDA Receiver DVBS",  L"Ombrel BDA Receiver DVBT", L"Ombrel BDA Receiver DVBC",
    L"Talvex BDA Receiver DVBS",  L"Talvex BDA Receiver DVBS2", L"Talvex BDA Receiver DVBT",
    L"Talvex BDA Receiver DVBC"};

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<std::wint_t>(a[i])) != std::towupper(static_cast<std::wint_t>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::span<const std::wstring_view> FriendlyNamesOf(Category category) {
    switch (category) {
    case Category::WdmCapture: return kWdm;
    case Category::BdaTuner: return kBdaTuner;
    case Category::BdaReceiver: return kBdaReceiver;
    }
    return {};
}

bool IsAcceptedFriendlyName(Category category, std::wstring_view name) {
    for (std::wstring_view accepted : FriendlyNamesOf(category)) {
        if (EqualNoCase(accepted, name)) return true;
    }
    return false;
}

}  // namespace ombrel
