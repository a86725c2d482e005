// tunersim's command line, as anyone may type it: words separated by NUL in the input.
// Properties: bad input is refused only with tunersim::Error (anything else escaping
// would end the tool without its message); accepted numbers lie within their range and
// read back the same when written out; accepted faults, scripts and versions read back
// the same when written in the tool's own syntax; a profile from accepted options is
// one the simulator can plug; a box named by any text is the known one, found by its id or
// by its GUID (the id's bytes in the other order), or the text as it was.
#include "Arguments.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace tunersim;

template <typename Parse>
bool Accepted(Parse parse) {
    try {
        parse();
        return true;
    } catch (const Error&) {
        return false;
    }
}

void CheckNumber(const std::string& word, uint32_t max) {
    uint32_t value = 0;
    if (!Accepted([&] { value = ParseUnsigned(word, max, "number"); })) return;
    FUZZ_REQUIRE(value <= max, "a number within its range");
    FUZZ_REQUIRE(ParseUnsigned(std::to_string(value), max, "number") == value, "reads back the same in decimal");
    FUZZ_REQUIRE(word.find_first_not_of("0123456789abcdefABCDEFxX") == std::string::npos, "made of digits");
}

std::string Written(const Fault& fault) {
    switch (fault.kind) {
    case FaultKind::None: return "none";
    case FaultKind::Fail: return "fail";
    case FaultKind::False: return "false";
    case FaultKind::Short: return "short:" + std::to_string(fault.bytes);
    case FaultKind::Delay: return "delay:" + std::to_string(fault.delayMs);
    }
    return "";
}

std::string Written(const UpdateScript& script) {
    const std::string percent = std::to_string(script.percent);
    switch (script.kind) {
    case ScriptKind::None: return "none";
    case ScriptKind::Fail: return "fail:" + percent + ":" + std::to_string(script.errorCode) + ":" + std::to_string(script.failState);
    case ScriptKind::Stall: return "stall:" + percent;
    case ScriptKind::Vanish: return "vanish:" + percent;
    }
    return "";
}

void CheckWord(const std::string& word, uint32_t max) {
    CheckNumber(word, max);
    Fault fault;
    if (Accepted([&] { fault = ParseFault(word); })) {
        const Fault again = ParseFault(Written(fault));
        FUZZ_REQUIRE(again.kind == fault.kind && again.bytes == fault.bytes && again.delayMs == fault.delayMs,
                     "a fault reads back the same");
        FUZZ_REQUIRE(fault.delayMs <= 600000, "delays stay within ten minutes");
    }
    UpdateScript script;
    if (Accepted([&] { script = ParseScript(word); })) {
        FUZZ_REQUIRE(script.percent <= 100, "a percentage");
        const UpdateScript again = ParseScript(Written(script));
        FUZZ_REQUIRE(again.kind == script.kind && again.percent == script.percent &&
                         (script.kind != ScriptKind::Fail || (again.errorCode == script.errorCode && again.failState == script.failState)),
                     "a script reads back the same");
    }
    std::array<uint8_t, 3> version{};
    if (Accepted([&] { version = ParseVersion(word); })) {
        const std::string written = std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]);
        FUZZ_REQUIRE(ParseVersion(written) == version, "a version reads back the same");
    }
    Accepted([&] { ParseDirection(word); });
}

void CheckBox(const std::string& word) {
    const std::string known = "00a1b2c3d4e50001";
    std::string id;
    id = BoxId(word, [&](const std::string& text) { return text == known; });
    if (id != known) {
        FUZZ_REQUIRE(id == word, "an unknown box is left as it was named");
        return;
    }
    std::string digits = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X') ? word.substr(2) : word;
    std::transform(digits.begin(), digits.end(), digits.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    FUZZ_REQUIRE(digits == known || digits == "0100e5d4c3b2a100", "by its id or its GUID");
}

void CheckProfile(const std::vector<std::string>& words) {
    std::vector<std::string> line{"plug"};
    line.insert(line.end(), words.begin(), words.end());
    const CommandSyntax plug = PlugSyntax();
    CommandLine parsed;
    if (!Accepted([&] { parsed = ParseCommandLine(line, std::span(&plug, 1)); })) return;
    if (parsed.help) return;
    FUZZ_REQUIRE(parsed.command == "plug", "the one command");
    const Arguments& args = parsed.arguments;
    for (const auto& option : args.options) {
        const std::string& name = option.first;
        FUZZ_REQUIRE(std::find(words.begin(), words.end(), "--" + name) != words.end() ||
                         std::any_of(words.begin(), words.end(), [&](const std::string& w) { return w.rfind("--" + name + "=", 0) == 0; }),
                     "every option was given");
    }
    DeviceProfile profile;
    if (!Accepted([&] { profile = ProfileFromOptions(args); })) return;
    FUZZ_REQUIRE(profile.subunit >= 0 && profile.subunit <= 9, "a subunit digit");
    FUZZ_REQUIRE(profile.models == kWdm || profile.models == kBda || profile.models == kBoth, "a driver model");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const uint32_t max = static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 4; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    words.push_back(word);
    if (words.size() > 12) return 0;  // longer command lines hold nothing new

    for (const std::string& w : words) {
        CheckWord(w, max);
        CheckBox(w);
    }
    CheckProfile(words);
    return 0;
}
