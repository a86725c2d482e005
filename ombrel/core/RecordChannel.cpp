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

TuneArguments TuneArgumentsFor(const Delivery& d, std::chrono::milliseconds timeout) {
    TuneArguments a;
    a.frequencyKHz = d.frequencyKHz;
    a.modulation = d.modulation;
    a.fec = d.fec;
    a.timeout = timeout;
    switch (d.system) {
    case DeliverySystem::DvbS:
    case DeliverySystem::DvbS2:
        a.family = Reception::Satellite;
        a.polarisation = d.polarisation;
        a.symbolRate = d.symbolRate;
        a.diseqcPort = d.satelliteNumber;
        break;
    case DeliverySystem::DvbT:
    case DeliverySystem::Atsc:
        a.family = d.system == DeliverySystem::Atsc ? Reception::Atsc : Reception::Terrestrial;
        if (d.bandwidthMHz != 0) a.bandwidthMHz = d.bandwidthMHz;
        a.guard = d.guard;
        a.mode = d.mode;
        break;
    }
    return a;
}

}  // namespace ombrel_cli
