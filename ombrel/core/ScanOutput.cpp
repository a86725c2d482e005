#include "ScanOutput.h"

#include "FrontEndOutput.h"
#include "ScanPlan.h"

#include <algorithm>
#include <cstdio>

namespace ombrel_cli {
namespace {

std::string_view OutcomeText(AttemptOutcome outcome) {
    switch (outcome) {
    case AttemptOutcome::NoSignal: return "no signal";
    case AttemptOutcome::NoLock: return "carrier, no lock";
    case AttemptOutcome::Locked: return "locked";
    case AttemptOutcome::LockTimeout: return "no lock in time";
    }
    return "?";
}

std::string_view OutcomeKey(AttemptOutcome outcome) {
    switch (outcome) {
    case AttemptOutcome::NoSignal: return "no_signal";
    case AttemptOutcome::NoLock: return "no_lock";
    case AttemptOutcome::Locked: return "locked";
    case AttemptOutcome::LockTimeout: return "lock_timeout";
    }
    return "?";
}

std::string_view KindText(ServiceKind kind) {
    switch (kind) {
    case ServiceKind::Television: return "television";
    case ServiceKind::Radio: return "radio";
    case ServiceKind::Other: break;
    }
    return "other";
}

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string Plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

Json DeliveryJson(const Delivery& d) {
    Json j;
    j["system"] = DeliverySystemName(d.system);
    j["frequency_khz"] = d.frequencyKHz;
    if (IsSatellite(d.system)) {
        j["input"] = d.satelliteNumber ? Json(std::string(PortText(*d.satelliteNumber))) : Json(nullptr);
        j["polarisation"] = PolarisationText(d.polarisation);
        j["symbol_rate_ksps"] = d.symbolRate;
    } else {
        j["bandwidth_mhz"] = d.bandwidthMHz;
    }
    j["modulation"] = ModulationText(d.modulation);
    return j;
}

Json ServiceJson(const ScannedService& s) {
    Json j;
    j["id"] = s.id;
    j["name"] = s.name;
    j["provider"] = s.provider;
    j["kind"] = KindText(s.kind);
    j["scrambled"] = s.scrambled;
    j["ca_system_ids"] = s.caSystemIds;
    j["video_pids"] = s.videoPids;
    j["audio_pids"] = s.audioPids;
    if (!s.virtualChannel.empty()) j["virtual_channel"] = s.virtualChannel;
    return j;
}

Json MultiplexJson(const ScannedMultiplex& m) {
    Json j;
    j["label"] = m.label;
    j["delivery"] = DeliveryJson(m.delivery);
    j["transport_stream_id"] = m.transportStreamId;
    j["original_network_id"] = m.originalNetworkId;
    j["network_id"] = OrNull(m.networkId);
    j["network_name"] = m.networkName;
    j["complete"] = m.missing.empty();
    if (!m.missing.empty()) j["missing"] = m.missing;
    Json services = Json::array();
    for (const ScannedService& s : m.services) services.push_back(ServiceJson(s));
    j["services"] = std::move(services);
    return j;
}

std::string_view EndKey(ScanEnd end) {
    switch (end) {
    case ScanEnd::Complete: return "complete";
    case ScanEnd::Interrupted: return "interrupted";
    case ScanEnd::TunerGone: return "tuner_gone";
    }
    return "?";
}

// Characters, not bytes, of UTF-8 text: what a column takes on the screen.
std::size_t Width(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Rows in columns two spaces apart; the last column is not padded.
std::string Columns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - Width(row[i]) + 2, ' ');
        }
        text += line + "\n";
    }
    return text;
}

std::size_t ServiceCount(std::span<const ScannedMultiplex> multiplexes) {
    std::size_t n = 0;
    for (const auto& m : multiplexes) n += m.services.size();
    return n;
}

}  // namespace

std::string ScanProgressText(const ScanAttempt& a) {
    const std::string of = std::to_string(a.total);
    std::string n = std::to_string(a.number);
    n.insert(0, n.size() < of.size() ? of.size() - n.size() : 0, ' ');
    std::string line = n + " of " + of + "  " + a.label + "  " + std::string(OutcomeText(a.outcome));
    if (a.multiplex) {
        const ScannedMultiplex& m = *a.multiplex;
        line += ", " + Plural(m.services.size(), "service", "services");
        if (!m.services.empty()) {
            std::string names;
            for (const auto& s : m.services) names += (names.empty() ? "" : ", ") + s.name;
            line += " (" + names + ")";
        }
        if (a.added) line += ", NIT: " + std::to_string(a.added) + " more";
        if (!m.missing.empty()) line += "; incomplete, missing " + m.missing;
    }
    return line + "  (" + SecondsText(a.elapsed) + ")\n";
}

std::string ScanProgressJson(const ScanAttempt& a) {
    Json j;
    j["event"] = "multiplex";
    j["number"] = a.number;
    j["of"] = a.total;
    j["candidate"] = a.label;
    j["outcome"] = OutcomeKey(a.outcome);
    j["seconds"] = static_cast<double>(a.elapsed.count()) / 1000.0;
    if (a.multiplex) {
        j["multiplex"] = MultiplexJson(*a.multiplex);
        j["added_from_nit"] = a.added;
    }
    return JsonText(j) + "\n";
}

std::string ScanSummaryText(const ScanSummary& s) {
    std::size_t tv = 0, radio = 0, scrambled = 0;
    for (const auto& m : s.multiplexes) {
        for (const auto& service : m.services) {
            tv += service.kind == ServiceKind::Television;
            radio += service.kind == ServiceKind::Radio;
            scrambled += service.scrambled;
        }
    }
    std::string text = "\n";
    switch (s.end) {
    case ScanEnd::Complete: text += "Scan complete: "; break;
    case ScanEnd::Interrupted: text += "Scan stopped (Ctrl+C): "; break;
    case ScanEnd::TunerGone: text += "Scan ended, the tuner went away: "; break;
    }
    text += Plural(s.multiplexes.size(), "multiplex", "multiplexes") + " with " +
            Plural(ServiceCount(s.multiplexes), "service", "services") + " (" + std::to_string(tv) + " television, " +
            std::to_string(radio) + " radio, " + std::to_string(scrambled) + " scrambled); " +
            Plural(s.tried, "candidate", "candidates") + " tried in " + SecondsText(s.elapsed) + ".\n";
    if (s.satellite) {
        std::string inputs;
        for (std::uint8_t input : s.inputsAnswering) inputs += (inputs.empty() ? "" : ", ") + std::string(PortText(input));
        text += "Inputs with signal: " + (inputs.empty() ? std::string("none") : inputs) + "\n";
    }
    if (!s.multiplexes.empty()) {
        std::vector<std::vector<std::string>> rows{{"Service", "Name", "Kind", "Access", "Multiplex", "TSID"}};
        for (const auto& m : s.multiplexes) {
            for (const auto& service : m.services) {
                rows.push_back({Hex4(service.id), service.name.empty() ? "(no name)" : service.name,
                                std::string(KindText(service.kind)), service.scrambled ? "scrambled" : "clear",
                                DeliveryText(m.delivery), Hex4(m.transportStreamId)});
            }
        }
        text += "\n" + Columns(rows);
    }
    if (s.written) text += "\nChannels written to " + *s.written + "\n";
    return text;
}

std::string ScanSummaryJson(const ScanSummary& s) {
    Json j;
    j["event"] = "summary";
    j["end"] = EndKey(s.end);
    j["tried"] = s.tried;
    j["seconds"] = static_cast<double>(s.elapsed.count()) / 1000.0;
    if (s.satellite) {
        Json inputs = Json::array();
        for (std::uint8_t input : s.inputsAnswering) inputs.push_back(std::string(PortText(input)));
        j["inputs_with_signal"] = std::move(inputs);
    }
    j["service_count"] = ServiceCount(s.multiplexes);
    Json multiplexes = Json::array();
    for (const auto& m : s.multiplexes) multiplexes.push_back(MultiplexJson(m));
    j["multiplexes"] = std::move(multiplexes);
    j["channel_file"] = OrNull(s.written);
    return JsonText(j) + "\n";
}

std::vector<Channel> ChannelsOf(std::span<const ScannedMultiplex> multiplexes) {
    std::vector<Channel> channels;
    for (const auto& m : multiplexes) {
        for (const auto& s : m.services) {
            Channel c;
            c.name = s.name;
            c.delivery = m.delivery;
            c.serviceId = s.id;
            c.videoPids = s.videoPids;
            c.audioPids = s.audioPids;
            c.virtualChannel = s.virtualChannel;
            channels.push_back(std::move(c));
        }
    }
    return channels;
}

}  // namespace ombrel_cli
