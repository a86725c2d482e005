#include "Arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include <CLI/CLI.hpp>

#include "RemoteKeymap.h"

namespace tunersim {

namespace {

const CommandSyntax kPlug{"plug",
                          {"preset", "id", "subunit", "model", "ident", "version", "build", "driver", "wdm-name",
                           "tuner-name", "receiver-name", "ci-slot"},
                          {"no-receiver", "no-broadcast"}};

// A command's app, which lets tunersim name the options CLI11 did not know.
class CommandApp : public CLI::App {
public:
    using CLI::App::App;
    std::optional<std::string> FirstUnknownOption() const {
        for (const auto& [kind, word] : missing_) {
            if (kind == CLI::detail::Classifier::LONG || kind == CLI::detail::Classifier::SHORT) return word;
        }
        return std::nullopt;
    }
    std::optional<std::string> FirstLeftOver() const {
        for (const auto& [kind, word] : missing_) {
            if (kind != CLI::detail::Classifier::POSITIONAL_MARK) return word;
        }
        return std::nullopt;
    }
};

bool IsHexDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& words, std::span<const CommandSyntax> commands) {
    if (words.empty()) throw UsageError("no command given (tunersim help lists them)");
    CommandApp app("control of the simulated Talvex tuner boxes", "tunersim");
    app.set_help_flag("-h,--help");
    app.allow_extras();
    app.require_subcommand(0, 1);
    struct Reading {
        const CommandSyntax* syntax;
        CommandApp* app;
        CLI::Option* positional;
        std::vector<std::pair<std::string, CLI::Option*>> options;
    };
    std::vector<Reading> readings;
    for (const CommandSyntax& syntax : commands) {
        const auto command = std::make_shared<CommandApp>("", syntax.name);
        command->allow_extras();
        command->set_help_flag("-h,--help");
        Reading reading{&syntax, command.get(), command->add_option("arguments")->expected(1, -1)->allow_extra_args(), {}};
        for (const std::string& name : syntax.valueOptions) {
            reading.options.emplace_back(name, command->add_option("--" + name)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast));
        }
        for (const std::string& name : syntax.flags) reading.options.emplace_back(name, command->add_flag("--" + name));
        readings.push_back(reading);
        app.add_subcommand(command);
    }
    const auto parsed = [&]() -> const Reading* {
        for (const Reading& reading : readings) {
            if (reading.app->parsed()) return &reading;
        }
        return nullptr;
    };
    std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes the words last first
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        CommandLine help;
        help.help = true;
        return help;
    } catch (const CLI::ParseError& error) {
        // CLI11 runs out of words only when an option's value should follow: the last word.
        const std::string command = parsed() ? parsed()->syntax->name : std::string();
        if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
            throw UsageError("option " + words.back() + " needs a value", command);
        }
        throw UsageError(error.what(), command);
    }
    const Reading* reading = parsed();
    if (const auto leftOver = app.FirstLeftOver()) {
        throw UsageError("unknown command \"" + *leftOver + "\" (tunersim help lists them)");
    }
    if (!reading) throw UsageError("no command given (tunersim help lists them)");
    const std::string& name = reading->syntax->name;
    if (const auto unknown = reading->app->FirstUnknownOption()) throw UsageError("unknown option " + *unknown, name);
    CommandLine line;
    line.command = name;
    for (const auto& [option, cli] : reading->options) {
        if (cli->count() > 0) line.arguments.options[option] = cli->get_expected_max() == 0 ? "" : cli->results().back();
    }
    for (const std::string& word : reading->positional->results()) line.arguments.positional.push_back(word);
    return line;
}

CommandSyntax PlugSyntax() { return kPlug; }

std::string BoxId(const std::string& text, const std::function<bool(const std::string&)>& known) {
    const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = prefixed ? text.substr(2) : text;
    if (known(text)) return text;
    if (IsHexDigits(digits) && digits.size() == 16) {
        const std::string id = Lower(digits);
        if (known(id)) return id;
        std::string swapped;  // the GUID's bytes in the id's order
        for (std::size_t at = id.size(); at >= 2; at -= 2) swapped += id.substr(at - 2, 2);
        if (known(swapped)) return swapped;
    }
    return text;
}

std::string_view BoxForms() {
    return "a box is named by its id as tunersim list shows it (00a1b2c3d4e50001) or by its GUID as ombrel list "
           "shows it (0100E5D4C3B2A100), 0x allowed";
}

uint32_t ParseUnsigned(const std::string& text, uint32_t max, const char* what) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const bool valid = !digits.empty() && digits.find_first_not_of(
                                              hex ? "0123456789abcdefABCDEF" : "0123456789") ==
                                              std::string::npos;
    errno = 0;
    const unsigned long long value = valid ? std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10) : 0;
    if (!valid || errno == ERANGE || value > max)
        throw Error(std::string("bad ") + what + " \"" + text + "\" (a number 0.." +
                    std::to_string(max) + " expected)");
    return static_cast<uint32_t>(value);
}

std::array<uint8_t, 3> ParseVersion(const std::string& text) {
    const auto parts = Split(text, '.');
    if (parts.size() != 3) throw Error("bad version \"" + text + "\" (A.B.C expected)");
    return {ParseNumber<uint8_t>(parts[0], "version number"),
            ParseNumber<uint8_t>(parts[1], "version number"),
            ParseNumber<uint8_t>(parts[2], "version number")};
}

Direction ParseDirection(const std::string& text) {
    if (text == "get") return Direction::Get;
    if (text == "set") return Direction::Set;
    throw Error("bad direction \"" + text + "\" (get or set expected)");
}

Fault ParseFault(const std::string& text) {
    const auto parts = Split(text, ':');
    Fault fault;
    const std::string& kind = parts[0];
    if (kind == "none" && parts.size() == 1) {
        fault.kind = FaultKind::None;
    } else if (kind == "fail" && parts.size() == 1) {
        fault.kind = FaultKind::Fail;
    } else if (kind == "false" && parts.size() == 1) {
        fault.kind = FaultKind::False;
    } else if (kind == "short" && parts.size() == 2) {
        fault.kind = FaultKind::Short;
        fault.bytes = ParseUnsigned(parts[1], 0xFFFFFFFFu, "byte count");
    } else if (kind == "delay" && parts.size() == 2) {
        fault.kind = FaultKind::Delay;
        fault.delayMs = ParseUnsigned(parts[1], 600000, "delay");
    } else {
        throw Error("bad fault \"" + text + "\" (fail, false, short:N, delay:MS or none)");
    }
    return fault;
}

UpdateScript ParseScript(const std::string& text) {
    const auto parts = Split(text, ':');
    UpdateScript script;
    const std::string& kind = parts[0];
    if (kind == "none" && parts.size() == 1) return script;
    if (kind == "fail" && (parts.size() == 3 || parts.size() == 4)) {
        script.kind = ScriptKind::Fail;
        script.errorCode = ParseNumber<uint8_t>(parts[2], "error code");
        if (parts.size() == 4) script.failState = ParseNumber<uint8_t>(parts[3], "state");
    } else if ((kind == "stall" || kind == "vanish") && parts.size() == 2) {
        script.kind = kind == "stall" ? ScriptKind::Stall : ScriptKind::Vanish;
    } else {
        throw Error("bad update script \"" + text +
                    "\" (none, fail:PCT:CODE[:STATE], stall:PCT or vanish:PCT)");
    }
    script.percent = static_cast<uint8_t>(ParseUnsigned(parts[1], 100, "percentage"));
    return script;
}

uint16_t ParseKey(const std::string& text) {
    if (const keymap::Key* key = keymap::FindByName(text)) return key->code;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) return ParseNumber<uint16_t>(text, "key code");
    throw Error("unknown key \"" + text + "\" (a name that tunersim keys lists, or a code such as 0x2015)");
}

DeviceProfile ProfileFromOptions(const Arguments& args) {
    const auto option = [&](const char* name) -> const std::string* {
        const auto it = args.options.find(name);
        return it == args.options.end() ? nullptr : &it->second;
    };
    DeviceProfile profile = Preset(option("preset") ? *option("preset") : "talvex-s2");
    if (auto v = option("id")) profile.id = *v;
    if (auto v = option("subunit")) profile.subunit = static_cast<int>(ParseUnsigned(*v, 9, "subunit"));
    if (auto v = option("model")) {
        if (*v == "wdm") profile.models = kWdm;
        else if (*v == "bda") profile.models = kBda;
        else if (*v == "both") profile.models = kBoth;
        else throw Error("bad driver model \"" + *v + "\" (wdm, bda or both)");
    }
    if (auto v = option("ident")) {
        const auto parts = Split(*v, ',');
        if (parts.size() != 3)
            throw Error("bad identification \"" + *v + "\" (LINE,MODEL,REV expected)");
        profile.productLine = ParseNumber<uint8_t>(parts[0], "product line");
        profile.modelCode = ParseNumber<uint8_t>(parts[1], "model code");
        profile.hardwareRevision = ParseNumber<uint8_t>(parts[2], "hardware revision");
        profile.systemInfo[0] = profile.productLine;
        profile.systemInfo[1] = profile.modelCode;
        profile.systemInfo[2] = profile.hardwareRevision;
    }
    if (auto v = option("version")) {
        const auto version = ParseVersion(*v);
        profile.versionMajor = version[0];
        profile.versionMinor = version[1];
        profile.versionPatch = version[2];
    }
    if (auto v = option("build")) profile.build = ParseNumber<uint16_t>(*v, "build");
    if (auto v = option("driver")) profile.driverVersion = *v;
    if (auto v = option("wdm-name")) profile.wdmFriendlyName = *v;
    if (auto v = option("tuner-name")) profile.tunerFriendlyName = *v;
    if (auto v = option("receiver-name")) profile.receiverFriendlyName = *v;
    if (args.Has("no-receiver")) profile.withReceiver = false;
    if (auto v = option("ci-slot")) {
        if (*v != "yes" && *v != "no") throw Error("bad CI slot \"" + *v + "\" (yes or no)");
        profile.ciSlot = *v == "yes";
    }
    return profile;
}

std::vector<uint8_t> ParseHexBytes(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            throw Error("bad hex bytes \"" + text + "\" (pairs of hexadecimal digits expected)");
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0)
        throw Error("bad hex bytes \"" + text + "\" (pairs of hexadecimal digits expected)");
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace tunersim
