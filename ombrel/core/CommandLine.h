// Reading of ombrel's command line into what to do: run a verb, show help, or show the
// version. Errors come back as a text for the user; nothing is printed here.
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
    const VerbSpec* verb = nullptr;  // null with Help: the general help
    std::vector<std::string> positionals;
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for flags)

    bool Has(std::string_view option) const;
    // The option's value; null when it was not given.
    const std::string* Value(std::string_view option) const;
};

struct ParsedCommandLine {
    std::optional<Invocation> invocation;
    std::string error;               // set when invocation is empty
    const VerbSpec* verb = nullptr;  // the verb the error belongs to, if known
};

// `arguments` excludes the program name.
ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments);

}  // namespace ombrel_cli
