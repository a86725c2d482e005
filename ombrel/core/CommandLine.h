// ombrel's command line, read by CLI11 into what to do: run a verb, show help, or show the
// version; and the help texts, laid out by CLI11 from the verb table. Errors come back as
// a text for the user; nothing is printed here.
#pragma once

#include "Verbs.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ombrel_cli {

struct Invocation {
    enum class Action { Run, Help, Version };
    Action action = Action::Help;
    const VerbSyntax* verb = nullptr;  // null with Help: the general help
    std::vector<std::string> positionals;
    // name, value ("" for flags); in the order of the verb's option table.
    std::vector<std::pair<std::string, std::string>> options;

    bool Has(std::string_view option) const;
    // The option's value; null when it was not given.
    const std::string* Value(std::string_view option) const;
};

struct ParsedCommandLine {
    std::optional<Invocation> invocation;
    std::string error;               // set when invocation is empty
    const VerbSyntax* verb = nullptr;  // the verb the error belongs to, if known
};

// `arguments` excludes the program name.
ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments);

// "ombrel --help": usage, verbs, the tuner argument and the exit codes.
std::string GeneralHelp();
// "ombrel <verb> --help": usage, description, options, and the exit codes or where they are.
std::string VerbHelp(const VerbSyntax& verb);

}  // namespace ombrel_cli
