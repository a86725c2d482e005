#include "Verbs.h"

#include "ExitCodes.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace ombrel_cli {
namespace {

constexpr std::string_view kTunerOnly[] = {"tuner"};

constexpr OptionSpec kJsonOption[] = {
    {"--json", "", "print JSON instead of text"},
};

constexpr OptionSpec kWatchOptions[] = {
    {"--json", "", "print one JSON object per line"},
};

constexpr OptionSpec kUpdateOptions[] = {
    {"--auto", "", "send the image that Romflux carries for the tuner (the default)"},
    {"--image", "FILE", "send an Intel-HEX image file, checked against the tuner first"},
    {"--yes", "", "do not ask before flashing"},
};

constexpr std::string_view kTunerText =
    "<tuner> is an index as 'ombrel list' shows it (up to three digits), or a GUID or\n"
    "the unambiguous start of one (hex digits, '0x' in front is allowed and forces a GUID).\n"
    "A box listed in both driver models is taken at its first index.\n";

constexpr std::array<VerbSpec, 4> kVerbs{{
    {"list", {}, kJsonOption, "[--json]", "list the attached tuners",
     "Lists every attached tuner: index, driver model (WDM or BDA), model name, GUID,\n"
     "subunit, firmware version and build, attached state.\n"},
    {"info", kTunerOnly, kJsonOption, "<tuner> [--json]", "everything the library can say of one tuner",
     "Shows one tuner: display and friendly names, GUID, subunit, model, firmware version\n"
     "record, driver version, system information and board temperature (raw bytes),\n"
     "Common Interface support and the firmware image that 'update --auto' would send.\n"},
    {"update", kTunerOnly, kUpdateOptions, "<tuner> [--auto | --image FILE] [--yes]",
     "update a tuner's firmware",
     "Updates the firmware of one tuner as Romflux does: ends the companion programs,\n"
     "sends the image, follows the tuner's progress every 400 ms and ends with Romflux's\n"
     "message; the companion programs are started again when the tuner reports success\n"
     "or failure. Asks before flashing unless --yes is given.\n"
     "\n"
     "Ctrl+C during the flash does not stop the tuner: the update goes on in it, and ombrel\n"
     "waits for its end. A second Ctrl+C stops waiting.\n",
     true},
    {"watch", {}, kWatchOptions, "[--json]", "print tuners as they are attached and detached",
     "Prints a line for every tuner that is attached or detached, with its line from\n"
     "'ombrel list', until Ctrl+C.\n"},
}};

std::string Usage(const VerbSpec& verb) {
    return "Usage: " + std::string(kToolName) + " " + std::string(verb.name) + " " + std::string(verb.synopsis) + "\n";
}

std::string ExitCodeLines() {
    std::string text = "Exit codes:\n";
    for (const ExitCodeText& row : ExitCodeTable()) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-3d %s\n", row.code, row.meaning);
        text += line;
    }
    return text;
}

std::string OptionLine(std::string_view name, std::string_view valueName, std::string_view help) {
    std::string left(name);
    if (!valueName.empty()) left += " " + std::string(valueName);
    char line[200];
    std::snprintf(line, sizeof line, "  %-14s %.*s\n", left.c_str(), static_cast<int>(help.size()), help.data());
    return line;
}

}  // namespace

std::span<const VerbSpec> Verbs() { return kVerbs; }

const VerbSpec* FindVerb(std::string_view name) {
    const auto found = std::find_if(kVerbs.begin(), kVerbs.end(), [&](const VerbSpec& v) { return v.name == name; });
    return found == kVerbs.end() ? nullptr : &*found;
}

const OptionSpec* FindOption(const VerbSpec& verb, std::string_view name) {
    const auto found =
        std::find_if(verb.options.begin(), verb.options.end(), [&](const OptionSpec& o) { return o.name == name; });
    return found == verb.options.end() ? nullptr : &*found;
}

std::string GeneralHelp() {
    const std::string tool(kToolName);
    std::string text = tool + ": Talvex tuners from the command line\n\n";
    text += "Usage: " + tool + " <verb> [arguments] [options]\n";
    text += "       " + tool + " <verb> --help\n";
    text += "       " + tool + " --version\n\nVerbs:\n";
    for (const VerbSpec& verb : kVerbs) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-8s %.*s\n", std::string(verb.name).c_str(),
                      static_cast<int>(verb.summary.size()), verb.summary.data());
        text += line;
    }
    text += "\n" + std::string(kTunerText) + "\n" + ExitCodeLines();
    return text;
}

std::string VerbHelp(const VerbSpec& verb) {
    std::string text = Usage(verb) + "\n" + std::string(verb.description) + "\nOptions:\n";
    for (const OptionSpec& option : verb.options) text += OptionLine(option.name, option.valueName, option.help);
    text += OptionLine("--help", "", "show this help");
    if (!verb.positionals.empty()) text += "\n" + std::string(kTunerText);
    text += "\n";
    text += verb.listsExitCodes ? ExitCodeLines() : "Exit codes: see '" + std::string(kToolName) + " --help'.\n";
    return text;
}

std::string VersionText(std::string_view libraryVersion) {
    return std::string(kToolName) + " " + std::string(kToolVersion) + " (OmbrelApi " + std::string(libraryVersion) + ")\n";
}

}  // namespace ombrel_cli
