#include "JsonOutput.h"

#include "ImageCatalogue.h"
#include "TunerSelector.h"

#include <cstdio>

namespace ombrel_cli {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `at`, moving past it; malformed input gives U+FFFD and
// moves by one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        ++at;
        return kReplacement;
    }
    if (at + length > text.size()) {
        ++at;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        ++at;
        return kReplacement;
    }
    at += length;
    return value;
}

void AppendEscape(std::string& out, unsigned unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", unit);
    out += escape;
}

template <class T, class Write>
std::optional<std::string> Map(const std::optional<T>& value, Write write) {
    if (!value) return std::nullopt;
    return write(*value);
}

std::optional<CommonInterface> Known(CommonInterface support) {
    if (support == CommonInterface::Unknown) return std::nullopt;
    return support;
}

std::string FirmwareJson(const FirmwareBytes& f) {
    char version[16];
    std::snprintf(version, sizeof version, "%u.%u.%u", f[3], f[4], f[5]);
    return JsonObject()
        .Number("productLine", f[0])
        .Number("modelCode", f[1])
        .Number("hardwareRevision", f[2])
        .Text("version", version)
        .Number("build", 256 * f[6] + f[7])
        .str();
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, at);
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            AppendEscape(out, static_cast<unsigned>(c));
        } else {
            const char32_t v = c - 0x10000;
            AppendEscape(out, static_cast<unsigned>(0xD800 + (v >> 10)));
            AppendEscape(out, static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::Member(std::string_view key, std::string_view json) {
    if (!members_.empty()) members_ += ',';
    members_ += JsonQuote(key) + ":";
    members_ += json;
    return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view utf8) { return Member(key, JsonQuote(utf8)); }
JsonObject& JsonObject::Number(std::string_view key, long long value) { return Member(key, std::to_string(value)); }
JsonObject& JsonObject::Bool(std::string_view key, bool value) { return Member(key, value ? "true" : "false"); }
JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) { return Member(key, json); }
JsonObject& JsonObject::Maybe(std::string_view key, const std::optional<std::string>& json) {
    return Member(key, json ? std::string_view(*json) : std::string_view("null"));
}
std::string JsonObject::str() const { return "{" + members_ + "}"; }

std::string JsonArray(std::span<const std::string> values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) out += ',';
        out += values[i];
    }
    return out + "]";
}

std::string JsonBytes(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> numbers;
    for (std::uint8_t byte : bytes) numbers.push_back(std::to_string(byte));
    return JsonArray(numbers);
}

std::string TunerLineJson(const TunerLine& tuner, const TextDecoder& decode) {
    const auto number = [](auto value) { return std::to_string(value); };
    return JsonObject()
        .Maybe("index", Map(tuner.index, number))
        .Text("driverModel", DriverModelText(tuner.driverModel))
        .Text("model", decode(tuner.model))
        .Text("guid", NormalizeGuid(decode(tuner.guid)))
        .Maybe("subunit", Map(tuner.subunit, number))
        .Maybe("firmware", Map(tuner.firmware, FirmwareJson))
        .Bool("attached", tuner.attached)
        .str();
}

std::string ListJson(std::span<const TunerLine> tuners, const TextDecoder& decode) {
    std::vector<std::string> lines;
    for (const TunerLine& tuner : tuners) lines.push_back(TunerLineJson(tuner, decode));
    return JsonObject().Raw("tuners", JsonArray(lines)).str() + "\n";
}

std::string InfoJson(const TunerDetails& d, const TextDecoder& decode) {
    const auto bytes = [](const auto& array) { return JsonBytes(array); };
    const auto text = [&](const std::string& value) { return JsonQuote(decode(value)); };
    JsonObject object;
    object.Raw("tuner", TunerLineJson(d.line, decode))
        .Text("displayName", decode(d.displayName))
        .Text("friendlyName", decode(d.friendlyName))
        .Maybe("guidLow", Map(d.guidLow, [](std::uint32_t v) { return std::to_string(v); }))
        .Maybe("guidHigh", Map(d.guidHigh, [](std::uint32_t v) { return std::to_string(v); }))
        .Maybe("firmwareRecord", Map(d.line.firmware, bytes))
        .Maybe("driverVersion", Map(d.driverVersion, text))
        .Maybe("systemInfo", Map(d.systemInfo, bytes))
        .Maybe("boardTemperature", Map(d.boardTemperature, bytes))
        .Maybe("commonInterface", Map(Known(d.commonInterface), [](CommonInterface v) {
                   return std::string(v == CommonInterface::Absent ? "false" : "true");
               }))
        .Maybe("commonInterfaceInUse", Map(Known(d.commonInterface), [](CommonInterface v) {
                   return std::string(v == CommonInterface::InUse ? "true" : "false");
               }))
        .Maybe("updateImage", Map(d.image, [](const CarriedImageInfo& image) {
                   return JsonObject().Text("key", image.key).Text("release", image.releaseText).str();
               }));
    return object.str() + "\n";
}

std::string WatchJson(TunerEvent event, const TunerLine& tuner, const TextDecoder& decode) {
    return JsonObject().Text("event", TunerEventText(event)).Raw("tuner", TunerLineJson(tuner, decode)).str() + "\n";
}

}  // namespace ombrel_cli
