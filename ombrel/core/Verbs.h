// The verbs of ombrel and their options, from which the command line and its help are
// made (CommandLine.h). A new verb is a row here and a handler in the program's verb table.
#pragma once

#include <OmbrelVersion.h>

#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

inline constexpr std::string_view kToolName = "ombrel";
inline constexpr std::string_view kToolVersion = OMBREL_TOOL_VERSION_TEXT;

struct OptionSyntax {
    std::string_view name;       // "--image"
    std::string_view valueName;  // "FILE"; empty for a flag
    std::string_view help;       // lines after the first are indented in the help
};

struct VerbSyntax {
    std::string_view name;
    std::span<const std::string_view> positionals;  // all required, in this order
    std::span<const OptionSyntax> options;             // besides --help
    std::string_view synopsis;                       // what follows the verb in the usage line
    std::string_view summary;                        // one line for the verb list
    std::string_view description;                    // paragraphs for the verb's help
    bool listsExitCodes = false;                     // the verb's help ends with the exit codes
};

std::span<const VerbSyntax> Verbs();
// Exact, case-sensitive; null when there is no such verb.
const VerbSyntax* FindVerb(std::string_view name);
const OptionSyntax* FindOption(const VerbSyntax& verb, std::string_view name);

// "ombrel 1.0.0 (OmbrelApi 1.10.2)".
std::string VersionText(std::string_view libraryVersion);

}  // namespace ombrel_cli
