#include "CommandLine.h"

#include <algorithm>

namespace ombrel_cli {
namespace {

bool IsHelp(std::string_view argument) { return argument == "--help" || argument == "-h"; }

bool LooksLikeOption(std::string_view argument) { return argument.size() > 1 && argument.front() == '-'; }

ParsedCommandLine Failure(std::string error, const VerbSpec* verb = nullptr) {
    ParsedCommandLine parsed;
    parsed.error = std::move(error);
    parsed.verb = verb;
    return parsed;
}

ParsedCommandLine Success(Invocation invocation) {
    ParsedCommandLine parsed;
    parsed.verb = invocation.verb;
    parsed.invocation = std::move(invocation);
    return parsed;
}

Invocation HelpFor(const VerbSpec* verb) {
    Invocation help;
    help.action = Invocation::Action::Help;
    help.verb = verb;
    return help;
}

// Everything after the verb.
ParsedCommandLine ParseVerbArguments(const VerbSpec& verb, std::span<const std::string> arguments) {
    // --help wins wherever it stands, so that a half-typed command still shows its help.
    const auto beforeEnd = std::find(arguments.begin(), arguments.end(), "--");
    if (std::any_of(arguments.begin(), beforeEnd, [](const std::string& a) { return IsHelp(a); })) {
        return Success(HelpFor(&verb));
    }

    Invocation run;
    run.action = Invocation::Action::Run;
    run.verb = &verb;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !LooksLikeOption(argument)) {
            if (run.positionals.size() == verb.positionals.size()) {
                return Failure("unexpected argument '" + argument + "'", &verb);
            }
            run.positionals.push_back(argument);
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const OptionSpec* option = FindOption(verb, name);
        if (!option) return Failure("unknown option '" + name + "' for '" + std::string(verb.name) + "'", &verb);
        if (run.Has(name)) return Failure("option " + name + " given twice", &verb);
        std::string value;
        if (option->valueName.empty()) {
            if (equals != std::string::npos) return Failure("option " + name + " takes no value", &verb);
        } else if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return Failure("option " + name + " needs a value (" + std::string(option->valueName) + ")", &verb);
        }
        if (!option->valueName.empty() && value.empty()) {
            return Failure("option " + name + " needs a value (" + std::string(option->valueName) + ")", &verb);
        }
        run.options.emplace_back(name, std::move(value));
    }
    if (run.positionals.size() < verb.positionals.size()) {
        return Failure("missing <" + std::string(verb.positionals[run.positionals.size()]) + ">", &verb);
    }
    return Success(std::move(run));
}

}  // namespace

bool Invocation::Has(std::string_view option) const { return Value(option) != nullptr; }

const std::string* Invocation::Value(std::string_view option) const {
    for (const auto& [name, value] : options) {
        if (name == option) return &value;
    }
    return nullptr;
}

ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments) {
    if (arguments.empty()) return Failure("no verb given");
    const std::string& first = arguments.front();
    if (IsHelp(first)) return Success(HelpFor(nullptr));
    if (first == "help") {
        if (arguments.size() == 1) return Success(HelpFor(nullptr));
        const VerbSpec* verb = FindVerb(arguments[1]);
        if (!verb) return Failure("unknown verb '" + arguments[1] + "'");
        if (arguments.size() > 2) return Failure("unexpected argument '" + arguments[2] + "'");
        return Success(HelpFor(verb));
    }
    if (first == "--version") {
        if (arguments.size() > 1) return Failure("unexpected argument '" + arguments[1] + "'");
        Invocation version;
        version.action = Invocation::Action::Version;
        return Success(version);
    }
    if (LooksLikeOption(first)) return Failure("unknown option '" + first + "'");
    const VerbSpec* verb = FindVerb(first);
    if (!verb) return Failure("unknown verb '" + first + "'");
    return ParseVerbArguments(*verb, arguments.subspan(1));
}

}  // namespace ombrel_cli
