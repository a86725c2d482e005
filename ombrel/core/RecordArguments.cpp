#include "RecordArguments.h"

#include "TuneArguments.h"

#include <charconv>

namespace ombrel_cli {
namespace {

constexpr std::uint64_t kDayMs = 24ull * 3600 * 1000;

// "12305" or "0x3011"; nothing for anything else or a value above 0xFFFF.
std::optional<std::uint16_t> ParseServiceId(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<ServicesArguments> ParseServicesArguments(const Invocation& invocation, std::string& error) {
    ServicesArguments a;
    a.json = invocation.Has("--json");
    if (const std::string* timeout = invocation.Value("--timeout")) {
        const auto parsed = ParseSeconds("--timeout", *timeout, error);
        if (!parsed) return std::nullopt;
        a.timeout = *parsed;
    }
    return a;
}

ServiceChoice ParseServiceChoice(std::string_view text) { return {std::string(text), ParseServiceId(text)}; }

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text, std::string& error) {
    const auto fail = [&] {
        error = "--duration '" + std::string(text) + "' is not a number of seconds above 0 and up to 86400 (a day)";
        return std::nullopt;
    };
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || fraction.size() > 3 || (point != std::string_view::npos && fraction.empty())) return fail();
    std::uint64_t seconds = 0;
    if (std::from_chars(whole.data(), whole.data() + whole.size(), seconds).ptr != whole.data() + whole.size() ||
        seconds > kDayMs / 1000) {
        return fail();
    }
    std::uint64_t ms = seconds * 1000;
    std::uint64_t scale = 100;
    for (const char c : fraction) {
        if (c < '0' || c > '9') return fail();
        ms += static_cast<std::uint64_t>(c - '0') * scale;
        scale /= 10;
    }
    if (ms == 0 || ms > kDayMs) return fail();
    return std::chrono::milliseconds(ms);
}

std::optional<RecordArguments> ParseRecordArguments(const Invocation& invocation, std::string& error) {
    RecordArguments a;
    const std::string* out = invocation.Value("--out");
    if (!out || out->empty()) {
        error = "record needs --out FILE, the file to write";
        return std::nullopt;
    }
    a.out = *out;
    if (const std::string* service = invocation.Value("--service")) {
        if (service->empty()) {
            error = "--service needs a service id or name";
            return std::nullopt;
        }
        a.service = ParseServiceChoice(*service);
    }
    if (const std::string* duration = invocation.Value("--duration")) {
        a.duration = ParseDuration(*duration, error);
        if (!a.duration) return std::nullopt;
    }
    a.requireClear = invocation.Has("--require-clear");
    const std::string* channel = invocation.Value("--channel");
    const std::string* channels = invocation.Value("--channels");
    if ((channel == nullptr) != (channels == nullptr)) {
        error = channel ? "--channel needs --channels FILE, the channel file that holds it"
                        : "--channels needs --channel NAME, the channel to tune";
        return std::nullopt;
    }
    if (channel) {
        a.channel = *channel;
        a.channelsFile = *channels;
    }
    if (const std::string* timeout = invocation.Value("--timeout")) {
        const auto parsed = ParseSeconds("--timeout", *timeout, error);
        if (!parsed) return std::nullopt;
        a.timeout = *parsed;
    }
    return a;
}

}  // namespace ombrel_cli
