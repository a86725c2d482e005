#include "DeviceNames.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace tunersim::names {

namespace {

constexpr std::array<std::string_view, layout::kRoleCount> kCategories{
    "{860BB310-5D01-11D0-BD3B-00A0C911CE86}",  // video capture (WDM)
    "{71985F48-1CA1-11D3-9CC8-00C04F7971E0}",  // BDA network tuner
    "{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}",  // BDA receiver component
};

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

std::string_view CategoryText(layout::Role role) { return kCategories.at(role); }

bool IsValidId(std::string_view id) {
    if (id.size() != layout::kIdChars) return false;
    for (char c : id) {
        if (!IsHex(c)) return false;
    }
    return true;
}

bool SameId(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string IdFromNumber(uint64_t value) {
    char text[layout::kIdChars + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string StandardInstanceName(layout::Role role, uint8_t modelCode, int subunit,
                                 std::string_view id) {
    std::string category(CategoryText(role));
    for (char& c : category) c = Lower(c);
    char head[64];
    std::snprintf(head, sizeof head, "talvexsim#vid_1d19&pid_%04x&mi_%02d#%d#", modelCode,
                  static_cast<int>(role), subunit);
    return std::string(head) + std::string(id) + "#" + category;
}

std::string DisplayName(layout::Role role, std::string_view instance) {
    return "@device:sw:" + std::string(CategoryText(role)) + "\\" + std::string(instance);
}

std::optional<std::string> InstanceNameProblem(std::string_view instance) {
    if (instance.empty()) return "an instance name must not be empty";
    if (instance.size() >= layout::kInstanceChars)
        return "an instance name must be at most 260 characters long";
    if (instance.find('\\') != std::string_view::npos)
        return "an instance name must not contain '\\'";
    return std::nullopt;
}

std::optional<std::string> FriendlyNameProblem(std::string_view name) {
    if (name.size() >= layout::kFriendlyChars)
        return "a friendly name must be at most 127 characters long";
    if (name.find('\0') != std::string_view::npos) return "a friendly name must not contain NUL";
    return std::nullopt;
}

}  // namespace tunersim::names
