#include "RecordPlan.h"

#include "ServicesOutput.h"
#include "TextOutput.h"

#include <algorithm>

namespace ombrel_cli {
namespace {

namespace tables = talvex::tables;

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const tables::Service* FindService(const tables::Multiplex& multiplex, const ServiceChoice& choice) {
    const auto& services = multiplex.services;
    if (choice.id) {
        const auto byId = std::find_if(services.begin(), services.end(), [&](const tables::Service& s) { return s.id == *choice.id; });
        if (byId != services.end()) return &*byId;
    }
    const auto exact = std::find_if(services.begin(), services.end(), [&](const tables::Service& s) { return s.name == choice.text; });
    if (exact != services.end()) return &*exact;
    const tables::Service* found = nullptr;
    for (const tables::Service& service : services) {
        if (!SameIgnoringCase(service.name, choice.text)) continue;
        if (found) return nullptr;  // two names differ only in case: neither is meant for sure
        found = &service;
    }
    return found;
}

std::string ServiceListText(const tables::Multiplex& multiplex) {
    std::string text;
    for (const tables::Service& service : multiplex.services) {
        text += "  " + Hex16Text(service.id) + "  " + (service.name.empty() ? "(no name)" : service.name) + " (" +
                ServiceTypeText(multiplex.standard, service.type) + ", " + (service.scrambled ? "scrambled" : "clear") +
                ")\n";
    }
    return text;
}

std::vector<const tables::Service*> ScrambledServices(const tables::Multiplex& multiplex) {
    std::vector<const tables::Service*> scrambled;
    for (const tables::Service& service : multiplex.services)
        if (service.scrambled) scrambled.push_back(&service);
    return scrambled;
}

std::optional<std::vector<std::uint16_t>> PidFilterFor(const std::vector<std::uint16_t>& pids, std::size_t room) {
    if (pids.empty() || pids.size() > room) return std::nullopt;
    return pids;
}

std::string PidListText(const std::vector<std::uint16_t>& pids) {
    std::string text;
    for (const std::uint16_t pid : pids) text += (text.empty() ? "" : ", ") + Hex16Text(pid);
    return text;
}

}  // namespace ombrel_cli
