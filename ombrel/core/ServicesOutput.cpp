#include "ServicesOutput.h"

#include "StreamKinds.h"

#include "TextOutput.h"

#include <algorithm>
#include <cstdio>

namespace ombrel_cli {
namespace {

namespace tables = talvex::tables;

std::string Hex8(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilDate(std::int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

std::string TimeOfDay(std::int64_t unixSeconds) {
    const std::int64_t second = unixSeconds - FloorDiv(unixSeconds, 86400) * 86400;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60));
    return text;
}

std::string PidsLine(const tables::Service& service) {
    std::string text = "PMT " + Hex16Text(service.pmtPid);
    text += service.pcrPid == 0x1FFF ? ", no PCR" : ", PCR " + Hex16Text(service.pcrPid);
    return text;
}

std::string StreamLine(const tables::ElementaryStream& stream) {
    std::string text = Hex16Text(stream.pid) + "  " + tables::FormatText(stream);
    if (!stream.language.empty()) text += " (" + stream.language + ")";
    return text;
}

constexpr std::string_view kIndent = "        ";

std::string Field(std::string_view label, const std::string& value) {
    std::string line(kIndent);
    line += label;
    line.append(label.size() < 11 ? 11 - label.size() : 1, ' ');
    return line + value + "\n";
}

Json EventJson(const std::optional<tables::Event>& event) {
    if (!event) return nullptr;
    return {{"id", event->id},
            {"start", event->startUnix ? Json(UtcText(*event->startUnix)) : Json(nullptr)},
            {"durationSeconds", OrNull(event->durationSeconds)},
            {"name", event->name},
            {"text", event->text},
            {"language", event->language}};
}

Json ServiceJson(const tables::Multiplex& multiplex, const tables::Service& service) {
    Json streams = Json::array();
    for (const tables::ElementaryStream& stream : service.streams) {
        streams.push_back({{"pid", stream.pid},
                           {"streamType", stream.streamType},
                           {"kind", tables::FormatText(stream)},
                           {"language", stream.language}});
    }
    Json ecmPids = Json::array();
    const auto addCa = [&](const tables::CaDescriptor& ca) {
        if (std::find(ecmPids.begin(), ecmPids.end(), Json(ca.pid)) == ecmPids.end()) ecmPids.push_back(ca.pid);
    };
    for (const tables::CaDescriptor& ca : service.ca) addCa(ca);
    for (const tables::ElementaryStream& stream : service.streams)
        for (const tables::CaDescriptor& ca : stream.ca) addCa(ca);
    Json json = {{"id", service.id},
                 {"name", service.name},
                 {"provider", service.provider},
                 {"type", service.type},
                 {"kind", ServiceTypeText(multiplex.standard, service.type)},
                 {"pmtPid", service.pmtPid},
                 {"pcrPid", service.pcrPid},
                 {"streams", streams},
                 {"scrambled", service.scrambled},
                 {"caSystemIds", service.caSystemIds},
                 {"ecmPids", ecmPids},
                 {"present", EventJson(service.present)},
                 {"following", EventJson(service.following)}};
    if (multiplex.standard == tables::Standard::Atsc) {
        json["majorChannel"] = service.majorChannel;
        json["minorChannel"] = service.minorChannel;
    }
    return json;
}

}  // namespace

std::string ServiceTypeText(tables::Standard standard, std::uint8_t type) {
    if (standard == tables::Standard::Atsc) {
        switch (type) {
        case tables::service_type::kAtscDigitalTelevision: return "TV";
        case tables::service_type::kAtscAudio: return "radio";
        default: return "type " + Hex8(type);
        }
    }
    switch (type) {
    case tables::service_type::kDigitalTelevision: return "TV";
    case tables::service_type::kDigitalRadio: return "radio";
    case 0x0A: return "radio";  // advanced codec digital radio sound
    case 0x11: return "HD TV";  // MPEG-2 HD
    case 0x16: return "TV";     // advanced codec SD
    case tables::service_type::kAdvancedCodecHdTelevision: return "HD TV";
    default: return "type " + Hex8(type);
    }
}

std::string AccessText(const tables::Service& service) {
    if (!service.scrambled) return "clear";
    std::string systems;
    for (const std::uint16_t id : service.caSystemIds) systems += (systems.empty() ? "" : ", ") + Hex16Text(id);
    std::string ecms;
    const auto addEcm = [&](const tables::CaDescriptor& ca) {
        const std::string pid = Hex16Text(ca.pid);
        if (ecms.find(pid) == std::string::npos) ecms += (ecms.empty() ? "" : ", ") + pid;
    };
    for (const tables::CaDescriptor& ca : service.ca) addEcm(ca);
    for (const tables::ElementaryStream& stream : service.streams)
        for (const tables::CaDescriptor& ca : stream.ca) addEcm(ca);
    if (systems.empty()) return "scrambled (free_CA_mode, no CA system named)";
    const bool several = service.caSystemIds.size() > 1;
    return "scrambled (CA system" + std::string(several ? "s " : " ") + systems + ", ECM PID" +
           (ecms.find(',') != std::string::npos ? "s " : " ") + ecms + ")";
}

std::string UtcText(std::int64_t unixSeconds) {
    const std::int64_t days = FloorDiv(unixSeconds, 86400);
    const std::int64_t second = unixSeconds - days * 86400;
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilDate(days, year, month, day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", year, month, day, static_cast<int>(second / 3600),
                  static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
    return text;
}

std::string EventText(const tables::Event& event) {
    std::string text;
    if (event.startUnix) {
        text = TimeOfDay(*event.startUnix);
        if (event.durationSeconds) text += "-" + TimeOfDay(*event.startUnix + *event.durationSeconds);
        text += " UTC  ";
    }
    return text + (event.name.empty() ? "(no title)" : event.name);
}

std::string ServiceLabel(const tables::Service& service) {
    return Hex16Text(service.id) + " (" + (service.name.empty() ? "no name" : service.name) + ")";
}

std::string ServicesText(unsigned long index, const TunerLine& tuner, const tables::Multiplex& multiplex) {
    std::string text = LabelledLine("Tuner", TunerSummary(index, tuner));
    std::string identity = "transport stream " + Hex16Text(multiplex.transportStreamId);
    if (multiplex.standard == tables::Standard::Dvb)
        identity += ", original network " + Hex16Text(multiplex.originalNetworkId);
    else
        identity += " (ATSC)";
    const std::size_t count = multiplex.services.size();
    identity += ", " + std::to_string(count) + (count == 1 ? " service" : " services");
    text += LabelledLine("Multiplex", identity);
    if (!multiplex.networkName.empty() || multiplex.networkId != 0) {
        text += LabelledLine("Network", Hex16Text(multiplex.networkId) +
                                            (multiplex.networkName.empty() ? "" : " " + multiplex.networkName));
    }
    if (multiplex.utcUnix) text += LabelledLine("Time", UtcText(*multiplex.utcUnix));
    for (const tables::Service& service : multiplex.services) {
        const std::string kind = ServiceTypeText(multiplex.standard, service.type);
        text += "\n" + Hex16Text(service.id) + "  " + kind + std::string(kind.size() < 6 ? 6 - kind.size() : 1, ' ') +
                (service.name.empty() ? "(no name)" : service.name) + "\n";
        if (multiplex.standard == tables::Standard::Atsc)
            text += Field("channel", std::to_string(service.majorChannel) + "." + std::to_string(service.minorChannel));
        if (!service.provider.empty()) text += Field("provider", service.provider);
        text += Field("access", AccessText(service));
        text += Field("PIDs", PidsLine(service));
        for (const tables::ElementaryStream& stream : service.streams) text += Field("", StreamLine(stream));
        if (service.present) text += Field("now", EventText(*service.present));
        if (service.following) text += Field("next", EventText(*service.following));
    }
    return text;
}

std::string ServicesJson(const TunerLine& tuner, const tables::Multiplex& multiplex, const TextDecoder& decode) {
    Json services = Json::array();
    for (const tables::Service& service : multiplex.services) services.push_back(ServiceJson(multiplex, service));
    const Json json = {
        {"tuner", TunerLineJson(tuner, decode)},
        {"multiplex",
         {{"standard", multiplex.standard == tables::Standard::Atsc ? "ATSC" : "DVB"},
          {"transportStreamId", multiplex.transportStreamId},
          {"originalNetworkId", multiplex.originalNetworkId},
          {"networkId", multiplex.networkId},
          {"networkName", multiplex.networkName},
          {"time", multiplex.utcUnix ? Json(UtcText(*multiplex.utcUnix)) : Json(nullptr)}}},
        {"services", services},
    };
    return JsonText(json) + "\n";
}

}  // namespace ombrel_cli
