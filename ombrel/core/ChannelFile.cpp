#include "ChannelFile.h"

#include "TuneArguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>

namespace ombrel_cli {
namespace {

struct Name {
    std::string_view text;
    std::uint8_t value;
};

// The format's names, mapped to the tuning records' numbering. Names the format has but
// no Talvex tuner takes are listed apart so that the error can say so.
constexpr Name kPolarisations[] = {
    {"HORIZONTAL", tuning::kHorizontal}, {"VERTICAL", tuning::kVertical},
    {"LEFT", tuning::kCircularLeft},     {"RIGHT", tuning::kCircularRight}};
constexpr Name kModulations[] = {{"QPSK", tuning::kQpsk},       {"PSK/8", tuning::k8psk},
                                 {"QAM/16", tuning::kQam16},    {"QAM/64", tuning::kQam64},
                                 {"VSB/8", tuning::k8vsb},      {"QAM/AUTO", tuning::kModulationAuto}};
constexpr std::string_view kOtherModulations[] = {"QAM/32", "QAM/128", "QAM/256", "VSB/16", "APSK/16",
                                                  "APSK/32", "DQPSK", "QAM/4_NR"};
constexpr Name kFecs[] = {{"AUTO", 0}, {"1/2", 1}, {"2/3", 2}, {"3/4", 3}, {"5/6", 4},
                          {"7/8", 5},  {"3/5", 6}, {"4/5", 7}, {"8/9", 8}, {"9/10", 9}};
constexpr std::string_view kOtherFecs[] = {"NONE", "6/7", "2/5"};
constexpr Name kGuards[] = {{"AUTO", 0}, {"1/32", 1}, {"1/16", 2}, {"1/8", 3}, {"1/4", 4}};
constexpr std::string_view kOtherGuards[] = {"1/128", "19/128", "19/256", "PN420", "PN595", "PN945"};
constexpr Name kModes[] = {{"AUTO", 0}, {"2K", 1}, {"8K", 2}};
constexpr std::string_view kOtherModes[] = {"4K", "1K", "16K", "32K", "C1", "C3780"};
constexpr Name kSystems[] = {{"DVBS", static_cast<std::uint8_t>(DeliverySystem::DvbS)},
                             {"DVBS2", static_cast<std::uint8_t>(DeliverySystem::DvbS2)},
                             {"DVBT", static_cast<std::uint8_t>(DeliverySystem::DvbT)},
                             {"ATSC", static_cast<std::uint8_t>(DeliverySystem::Atsc)}};
constexpr std::string_view kOtherSystems[] = {"DVBC/ANNEX_A", "DVBC/ANNEX_B", "DVBC/ANNEX_C", "DVBT2", "DSS",
                                              "TURBO",        "ISDBT",        "ISDBS",        "ISDBC", "ATSCMH",
                                              "DTMB",         "CMMB",         "DAB",          "DVBH"};
// Values checked for their form and otherwise left to the front end's automatic choice.
constexpr std::string_view kInversions[] = {"OFF", "ON", "AUTO"};
constexpr std::string_view kHierarchies[] = {"NONE", "1", "2", "4", "AUTO"};
constexpr std::string_view kRollOffs[] = {"35", "20", "25", "AUTO"};
constexpr std::string_view kPilots[] = {"ON", "OFF", "AUTO"};
// Keys the tools write that say nothing a Talvex tuner can use.
constexpr std::string_view kIgnoredKeys[] = {"LNB", "DISEQC_WAIT", "FREQ_BPF", "STREAM_ID", "CHANNEL",
                                             "SCRAMBLED", "ISDBT_LAYER_ENABLED"};

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool Contains(std::span<const std::string_view> names, std::string_view text) {
    return std::find(names.begin(), names.end(), text) != names.end();
}

std::string List(std::span<const Name> names) {
    std::string text;
    for (const Name& n : names) text += (text.empty() ? "" : ", ") + std::string(n.text);
    return text;
}

std::string_view NameOf(std::span<const Name> names, std::uint8_t value) {
    for (const Name& n : names) {
        if (n.value == value) return n.text;
    }
    return names.front().text;
}

class Failure {
public:
    Failure(int line, std::string reason) : line_(line), reason_(std::move(reason)) {}
    int line_;
    std::string reason_;
};

std::uint8_t LookUp(std::span<const Name> names, std::span<const std::string_view> others, std::string_view key,
                    std::string_view value, int line) {
    for (const Name& n : names) {
        if (n.text == value) return n.value;
    }
    if (Contains(others, value)) {
        throw Failure(line, std::string(key) + " " + std::string(value) + " is not one Talvex tuners take (" +
                                List(names) + ")");
    }
    throw Failure(line, std::string(key) + " '" + std::string(value) + "' is not one of " + List(names));
}

void Check(std::span<const std::string_view> names, std::string_view key, std::string_view value, int line) {
    if (Contains(names, value)) return;
    std::string list;
    for (auto n : names) list += (list.empty() ? "" : ", ") + std::string(n);
    throw Failure(line, std::string(key) + " '" + std::string(value) + "' is not one of " + list);
}

std::uint64_t Number(std::string_view key, std::string_view value, std::uint64_t max, int line) {
    std::uint64_t n = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (error != std::errc{} || end != value.data() + value.size() || value.empty()) {
        throw Failure(line, std::string(key) + " '" + std::string(value) + "' is not a whole number");
    }
    if (n > max) throw Failure(line, std::string(key) + " " + std::string(value) + " is above " + std::to_string(max));
    return n;
}

std::vector<std::uint16_t> Pids(std::string_view key, std::string_view value, int line) {
    std::vector<std::uint16_t> pids;
    while (!(value = Trim(value)).empty()) {
        const auto space = value.find_first_of(" \t");
        pids.push_back(static_cast<std::uint16_t>(Number(key, value.substr(0, space), 0x1FFF, line)));
        value = space == std::string_view::npos ? std::string_view{} : value.substr(space);
    }
    return pids;
}

// One section as read: its values by key, with the line each came from.
struct Section {
    std::string name;
    int line = 0;
    std::map<std::string, std::pair<std::string, int>, std::less<>> values;

    const std::pair<std::string, int>* Find(std::string_view key) const {
        const auto found = values.find(key);
        return found == values.end() ? nullptr : &found->second;
    }
};

std::vector<Section> Sections(std::string_view text) {
    std::vector<Section> sections;
    int line = 0;
    while (!text.empty()) {
        ++line;
        const auto end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const std::string_view content = Trim(raw);
        if (content.empty() || content.front() == '#') continue;
        if (content.front() == '[') {
            if (content.back() != ']') throw Failure(line, "a section name has no closing ']'");
            const std::string_view name = Trim(content.substr(1, content.size() - 2));
            if (name.empty()) throw Failure(line, "a section has no name");
            sections.push_back(Section{std::string(name), line, {}});
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string_view::npos) {
            throw Failure(line, "'" + std::string(content) + "' is neither [NAME] nor KEY = value");
        }
        const std::string_view key = Trim(content.substr(0, equals));
        const std::string_view value = Trim(content.substr(equals + 1));
        if (key.empty()) throw Failure(line, "a line has a value but no key");
        if (sections.empty()) throw Failure(line, std::string(key) + " comes before the first [NAME]");
        if (!sections.back().values.emplace(std::string(key), std::pair{std::string(value), line}).second) {
            throw Failure(line, std::string(key) + " is given twice in [" + sections.back().name + "]");
        }
    }
    return sections;
}

Delivery ReadDelivery(const Section& s) {
    const auto need = [&](std::string_view key) -> const std::pair<std::string, int>& {
        const auto* found = s.Find(key);
        if (!found) throw Failure(s.line, "[" + s.name + "] has no " + std::string(key));
        return *found;
    };
    Delivery d;
    const auto& system = need("DELIVERY_SYSTEM");
    d.system = static_cast<DeliverySystem>(LookUp(kSystems, kOtherSystems, "DELIVERY_SYSTEM", system.first, system.second));
    const bool satellite = IsSatellite(d.system);
    const auto& frequency = need("FREQUENCY");
    if (satellite) {
        // kHz: a downlink up to 30 GHz.
        d.frequencyKHz = static_cast<std::uint32_t>(Number("FREQUENCY", frequency.first, 30000000, frequency.second));
        const auto& pol = need("POLARIZATION");
        d.polarisation = LookUp(kPolarisations, {}, "POLARIZATION", pol.first, pol.second);
        const auto& rate = need("SYMBOL_RATE");
        d.symbolRate = static_cast<std::uint32_t>(Number("SYMBOL_RATE", rate.first, 100000000, rate.second) / 1000);
        if (d.symbolRate == 0) throw Failure(rate.second, "SYMBOL_RATE " + rate.first + " is below 1000 symbols/s");
        if (const auto* n = s.Find("SAT_NUMBER")) {
            d.satelliteNumber = static_cast<std::uint8_t>(Number("SAT_NUMBER", n->first, 3, n->second));
        }
        if (const auto* fec = s.Find("INNER_FEC")) d.fec = LookUp(kFecs, kOtherFecs, "INNER_FEC", fec->first, fec->second);
    } else {
        // Hz, in the terrestrial band.
        const std::uint64_t hz = Number("FREQUENCY", frequency.first, 3000000000ULL, frequency.second);
        if (hz < 1000000) {
            throw Failure(frequency.second, "FREQUENCY " + frequency.first + " is below 1 MHz: give it in Hz (474000000)");
        }
        d.frequencyKHz = static_cast<std::uint32_t>(hz / 1000);
        d.bandwidthMHz = d.system == DeliverySystem::Atsc ? 6 : 8;
        if (const auto* bw = s.Find("BANDWIDTH_HZ")) {
            const std::uint64_t bandwidth = Number("BANDWIDTH_HZ", bw->first, 100000000, bw->second);
            if (bandwidth != 6000000 && bandwidth != 7000000 && bandwidth != 8000000) {
                throw Failure(bw->second, "BANDWIDTH_HZ " + bw->first + " is not 6000000, 7000000 or 8000000");
            }
            d.bandwidthMHz = static_cast<std::uint8_t>(bandwidth / 1000000);
        }
        if (const auto* fec = s.Find("CODE_RATE_HP")) {
            d.fec = LookUp(kFecs, kOtherFecs, "CODE_RATE_HP", fec->first, fec->second);
        }
        if (const auto* g = s.Find("GUARD_INTERVAL")) d.guard = LookUp(kGuards, kOtherGuards, "GUARD_INTERVAL", g->first, g->second);
        if (const auto* m = s.Find("TRANSMISSION_MODE")) d.mode = LookUp(kModes, kOtherModes, "TRANSMISSION_MODE", m->first, m->second);
    }
    if (const auto* m = s.Find("MODULATION")) d.modulation = LookUp(kModulations, kOtherModulations, "MODULATION", m->first, m->second);
    return d;
}

// Every key of a section is known to the format; values without use here still have to
// have their form.
void CheckKeys(const Section& s) {
    static constexpr std::string_view kRead[] = {
        "DELIVERY_SYSTEM", "FREQUENCY",    "POLARIZATION",   "SYMBOL_RATE",       "SAT_NUMBER", "INNER_FEC",
        "BANDWIDTH_HZ",    "CODE_RATE_HP", "GUARD_INTERVAL", "TRANSMISSION_MODE", "MODULATION", "SERVICE_ID",
        "VIDEO_PID",       "AUDIO_PID",    "VCHANNEL"};
    for (const auto& [key, entry] : s.values) {
        const auto& [value, line] = entry;
        if (Contains(kRead, key) || Contains(kIgnoredKeys, key)) continue;
        if (key == "INVERSION") {
            Check(kInversions, key, value, line);
        } else if (key == "HIERARCHY") {
            Check(kHierarchies, key, value, line);
        } else if (key == "CODE_RATE_LP") {
            LookUp(kFecs, {}, key, value == "NONE" ? "AUTO" : value, line);
        } else if (key == "ROLLOFF") {
            Check(kRollOffs, key, value, line);
        } else if (key == "PILOT") {
            Check(kPilots, key, value, line);
        } else if (key.rfind("PID_", 0) == 0) {
            Pids(key, value, line);
        } else {
            throw Failure(line, "unknown key " + key + " in [" + s.name + "]");
        }
    }
}

Channel ReadChannel(const Section& s) {
    CheckKeys(s);
    Channel c;
    c.name = s.name;
    c.delivery = ReadDelivery(s);
    if (const auto* id = s.Find("SERVICE_ID")) c.serviceId = static_cast<std::uint16_t>(Number("SERVICE_ID", id->first, 0xFFFF, id->second));
    if (const auto* v = s.Find("VIDEO_PID")) c.videoPids = Pids("VIDEO_PID", v->first, v->second);
    if (const auto* a = s.Find("AUDIO_PID")) c.audioPids = Pids("AUDIO_PID", a->first, a->second);
    if (const auto* vc = s.Find("VCHANNEL")) c.virtualChannel = vc->first;
    return c;
}

std::string PidList(const std::vector<std::uint16_t>& pids) {
    std::string text;
    for (std::uint16_t pid : pids) text += (text.empty() ? "" : " ") + std::to_string(pid);
    return text;
}

// A section name keeps to one line and cannot close early.
std::string SectionName(const Channel& c) {
    std::string name;
    for (char ch : c.name) name += (ch == '[' || ch == ']' || static_cast<unsigned char>(ch) < 0x20) ? ' ' : ch;
    name = std::string(Trim(name));
    if (name.empty() || name.front() == '#') {
        name = c.serviceId ? "service " + std::to_string(*c.serviceId) : "channel " + std::to_string(c.delivery.frequencyKHz);
    }
    return name;
}

}  // namespace

bool IsSatellite(DeliverySystem system) { return system == DeliverySystem::DvbS || system == DeliverySystem::DvbS2; }

std::string_view DeliverySystemName(DeliverySystem system) { return NameOf(kSystems, static_cast<std::uint8_t>(system)); }

std::string FileError::Text() const {
    return line > 0 ? file + ":" + std::to_string(line) + ": " + reason : file + ": " + reason;
}

std::string WriteChannelFile(std::span<const Channel> channels) {
    std::string out;
    const auto put = [&out](std::string_view key, const std::string& value) {
        out += "\t" + std::string(key) + " = " + value + "\n";
    };
    for (const Channel& c : channels) {
        const Delivery& d = c.delivery;
        out += "[" + SectionName(c) + "]\n";
        // In the order the tools themselves write.
        if (!c.virtualChannel.empty()) put("VCHANNEL", c.virtualChannel);
        if (c.serviceId) put("SERVICE_ID", std::to_string(*c.serviceId));
        if (!c.videoPids.empty()) put("VIDEO_PID", PidList(c.videoPids));
        if (!c.audioPids.empty()) put("AUDIO_PID", PidList(c.audioPids));
        if (IsSatellite(d.system)) {
            if (d.satelliteNumber) put("SAT_NUMBER", std::to_string(*d.satelliteNumber));
            put("POLARIZATION", std::string(NameOf(kPolarisations, d.polarisation)));
            put("FREQUENCY", std::to_string(d.frequencyKHz));
            put("SYMBOL_RATE", std::to_string(static_cast<std::uint64_t>(d.symbolRate) * 1000));
            put("INNER_FEC", std::string(NameOf(kFecs, d.fec)));
            put("MODULATION", std::string(NameOf(kModulations, d.modulation)));
        } else {
            put("FREQUENCY", std::to_string(static_cast<std::uint64_t>(d.frequencyKHz) * 1000));
            put("MODULATION", std::string(NameOf(kModulations, d.modulation)));
            if (d.system == DeliverySystem::DvbT) {
                put("BANDWIDTH_HZ", std::to_string(static_cast<std::uint32_t>(d.bandwidthMHz) * 1000000));
                put("CODE_RATE_HP", std::string(NameOf(kFecs, d.fec)));
                put("GUARD_INTERVAL", std::string(NameOf(kGuards, d.guard)));
                put("TRANSMISSION_MODE", std::string(NameOf(kModes, d.mode)));
            }
        }
        put("INVERSION", "AUTO");
        put("DELIVERY_SYSTEM", std::string(DeliverySystemName(d.system)));
        out += "\n";
    }
    return out;
}

std::variant<std::vector<Channel>, FileError> ReadChannelFile(std::string_view text, std::string_view fileName) {
    try {
        std::vector<Channel> channels;
        for (const Section& s : Sections(text)) channels.push_back(ReadChannel(s));
        if (channels.empty()) return FileError{std::string(fileName), 0, "no [NAME] section: not a channel file"};
        return channels;
    } catch (const Failure& f) {
        return FileError{std::string(fileName), f.line_, f.reason_};
    }
}

std::variant<std::vector<Delivery>, FileError> ReadStartFile(std::string_view text, std::string_view fileName) {
    try {
        std::vector<Delivery> deliveries;
        for (const Section& s : Sections(text)) {
            const Delivery d = ReadChannel(s).delivery;
            if (std::find(deliveries.begin(), deliveries.end(), d) == deliveries.end()) deliveries.push_back(d);
        }
        if (deliveries.empty()) return FileError{std::string(fileName), 0, "no [CHANNEL] section: not a start file"};
        return deliveries;
    } catch (const Failure& f) {
        return FileError{std::string(fileName), f.line_, f.reason_};
    }
}

}  // namespace ombrel_cli
