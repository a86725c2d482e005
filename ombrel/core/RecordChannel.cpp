#include "RecordChannel.h"

#include <algorithm>

namespace ombrel_cli {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const Channel* FindChannel(std::span<const Channel> channels, std::string_view name) {
    const auto exact = std::find_if(channels.begin(), channels.end(), [&](const Channel& c) { return c.name == name; });
    if (exact != channels.end()) return &*exact;
    const Channel* found = nullptr;
    for (const Channel& channel : channels) {
        if (!SameIgnoringCase(channel.name, name)) continue;
        if (found) return nullptr;
        found = &channel;
    }
    return found;
}

std::string ChannelNamesText(std::span<const Channel> channels) {
    std::string text;
    for (const Channel& channel : channels) text += (text.empty() ? "" : ", ") + channel.name;
    return text;
}

}  // namespace ombrel_cli
