#include "CommandLine.h"

#include "ExitCodes.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace ombrel_cli {
namespace {

constexpr std::size_t kVerbColumn = 11;    // where a verb's summary starts in the general help
constexpr std::size_t kOptionColumn = 22;  // where an option's help starts in a verb's help

constexpr std::string_view kTunerText =
    "<tuner> is an index as 'ombrel list' shows it (up to three digits), a GUID or the\n"
    "unambiguous start of one (hex digits, '0x' in front is allowed and forces a GUID), or\n"
    "the box's identifier as 'ombrel info' and tunersim show it (16 hex digits, '0x' allowed).\n"
    "A box listed in both driver models is taken at its first index.\n";

// The first word CLI11 could not place (an unknown option, or a word where no
// positional is left); "--" only ends the options, it is no word of its own.
std::optional<std::string> FirstLeftOver(const CLI::App& app) {
    for (std::string& word : app.remaining()) {
        if (word != "--") return std::move(word);
    }
    return std::nullopt;
}

bool LooksLikeOption(std::string_view word) { return word.size() > 1 && word.front() == '-'; }

// "--image=x" -> "--image".
std::string OptionName(const std::string& word) { return word.substr(0, word.find('=')); }

std::string ExitCodeLines() {
    std::string text = "Exit codes:\n";
    for (const ExitCodeText& row : ExitCodeTable()) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-3d %s\n", row.code, row.meaning);
        text += line;
    }
    return text;
}

// ombrel's layout of CLI11's help: a usage line of its own, options by their one name
// and value, the tuner argument and the exit codes.
class HelpLayout : public CLI::Formatter {
public:
    explicit HelpLayout(std::size_t column) { column_width(column); }

    std::string make_option_name(const CLI::Option* option, bool) const override { return option->get_name(); }
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_type_name().empty() ? std::string() : " " + option->get_type_name();
    }
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const override {
        const VerbSyntax* verb = app->get_parent() ? FindVerb(app->get_name()) : nullptr;
        return verb ? VerbText(*verb, app, mode) : GeneralText(app, mode);
    }

private:
    std::string GeneralText(const CLI::App* app, CLI::AppFormatMode mode) const {
        const std::string tool(kToolName);
        return tool + ": Talvex tuners from the command line\n\n" + "Usage: " + tool + " <verb> [arguments] [options]\n" +
               "       " + tool + " <verb> --help\n" + "       " + tool + " --version\n" + make_subcommands(app, mode) +
               "\n" + std::string(kTunerText) + "\n" + ExitCodeLines();
    }
    std::string VerbText(const VerbSyntax& verb, const CLI::App* app, CLI::AppFormatMode mode) const {
        std::string text = "Usage: " + std::string(kToolName) + " " + std::string(verb.name) + " " +
                           std::string(verb.synopsis) + "\n\n" + std::string(verb.description) + make_groups(app, mode);
        if (!verb.positionals.empty()) text += "\n" + std::string(kTunerText);
        text += "\n";
        return text + (verb.listsExitCodes ? ExitCodeLines() : "Exit codes: see '" + std::string(kToolName) + " --help'.\n");
    }
};

// The whole command line as CLI11 reads it: the verbs, each with its positionals and
// options from the verb table, "help [verb]" and --version.
class CommandLineApp {
public:
    CommandLineApp() {
        root_.allow_extras();
        root_.require_subcommand(0, 1);
        root_.formatter(std::make_shared<HelpLayout>(kVerbColumn));
        root_.set_help_flag("-h,--help", "show the verbs, the tuner argument and the exit codes");
        const std::string versionHelp = "show the versions of ombrel and the library";
        version_ = root_.add_flag("--version", versionHelp);
        const auto verbLayout = std::make_shared<HelpLayout>(kOptionColumn);
        for (const VerbSyntax& verb : Verbs()) {
            const auto app = std::make_shared<CLI::App>(std::string(verb.summary), std::string(verb.name));
            app->allow_extras();
            app->group("Verbs");
            app->formatter(verbLayout);
            app->set_help_flag("-h,--help", "show this help");
            for (std::string_view positional : verb.positionals) app->add_option(std::string(positional));
            // Takes the words beyond the positionals, before and after "--" alike, so that
            // every word CLI11 leaves over in a verb is an option; without it CLI11 would
            // also end the verb at a "--" that no positional follows.
            CLI::Option* extra = app->add_option(kExtraWords)->expected(1, -1)->allow_extra_args();
            for (const OptionSyntax& syntax : verb.options) {
                const std::string help(syntax.help);
                CLI::Option* option = syntax.valueName.empty()
                                          ? app->add_flag(std::string(syntax.name), help)
                                          : app->add_option(std::string(syntax.name), help)->type_name(std::string(syntax.valueName));
                // Kept, so that a repeated option is named rather than overwritten.
                option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
            }
            verbs_.push_back({&verb, app.get(), extra});
            root_.add_subcommand(app);
        }
        const auto help = std::make_shared<CLI::App>("", "help");
        help->allow_extras();
        help->group("");  // not listed among the verbs
        help->set_help_flag();
        helpVerb_ = help->add_option("verb");
        help_ = help.get();
        root_.add_subcommand(help);
    }

    // CLI11 takes the words last first.
    void Parse(std::span<const std::string> arguments) {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        root_.parse(reversed);
    }

    const VerbSyntax* ParsedVerb() const {
        const ParsedVerbApp* parsed = Parsed();
        return parsed ? parsed->verb : nullptr;
    }
    bool HelpAsked() const {
        const ParsedVerbApp* parsed = Parsed();
        return root_.get_help_ptr()->count() > 0 || (parsed && parsed->app->get_help_ptr()->count() > 0);
    }

    ParsedCommandLine Read(std::span<const std::string> arguments) const;

    std::string HelpText(const VerbSyntax* verb) const {
        for (const ParsedVerbApp& known : verbs_) {
            if (known.verb == verb) return known.app->help();
        }
        return root_.help();
    }

private:
    static constexpr const char* kExtraWords = "extra words";

    struct ParsedVerbApp {
        const VerbSyntax* verb;
        CLI::App* app;
        CLI::Option* extraWords;
    };
    const ParsedVerbApp* Parsed() const {
        for (const ParsedVerbApp& known : verbs_) {
            if (known.app->parsed()) return &known;
        }
        return nullptr;
    }
    ParsedCommandLine ReadHelp() const;
    ParsedCommandLine ReadVerb(const ParsedVerbApp& parsed) const;

    CLI::App root_{"Talvex tuners from the command line", std::string(kToolName)};
    CLI::Option* version_ = nullptr;
    CLI::App* help_ = nullptr;
    CLI::Option* helpVerb_ = nullptr;
    std::vector<ParsedVerbApp> verbs_;
};

ParsedCommandLine Failure(std::string error, const VerbSyntax* verb = nullptr) {
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

ParsedCommandLine HelpFor(const VerbSyntax* verb) {
    Invocation help;
    help.action = Invocation::Action::Help;
    help.verb = verb;
    return Success(std::move(help));
}

ParsedCommandLine CommandLineApp::ReadHelp() const {
    if (const auto leftOver = FirstLeftOver(*help_)) {
        return Failure(helpVerb_->count() ? "unexpected argument '" + *leftOver + "'" : "unknown verb '" + *leftOver + "'");
    }
    if (helpVerb_->count() == 0) return HelpFor(nullptr);
    const std::string& name = helpVerb_->results().front();
    const VerbSyntax* verb = FindVerb(name);
    if (!verb) return Failure("unknown verb '" + name + "'");
    return HelpFor(verb);
}

ParsedCommandLine CommandLineApp::ReadVerb(const ParsedVerbApp& parsed) const {
    const VerbSyntax& verb = *parsed.verb;
    const CLI::App& app = *parsed.app;
    if (const auto leftOver = FirstLeftOver(app)) {
        return Failure("unknown option '" + OptionName(*leftOver) + "' for '" + std::string(verb.name) + "'", &verb);
    }
    if (parsed.extraWords->count() > 0) {
        return Failure("unexpected argument '" + parsed.extraWords->results().front() + "'", &verb);
    }
    Invocation run;
    run.action = Invocation::Action::Run;
    run.verb = &verb;
    for (const OptionSyntax& syntax : verb.options) {
        const std::string name(syntax.name);
        const CLI::Option* option = app.get_option(name);
        if (option->count() == 0) continue;
        if (option->count() > 1) return Failure("option " + name + " given twice", &verb);
        const std::string& value = option->results().front();
        if (syntax.valueName.empty()) {
            // CLI11 reads "--yes=1" as a flag set to 1; ombrel's flags take no value.
            if (value != "true") return Failure("option " + name + " takes no value", &verb);
            run.options.emplace_back(name, "");
        } else {
            if (value.empty()) return Failure("option " + name + " needs a value (" + std::string(syntax.valueName) + ")", &verb);
            run.options.emplace_back(name, value);
        }
    }
    for (std::string_view positional : verb.positionals) {
        const CLI::Option* option = app.get_option(std::string(positional));
        if (option->count() == 0) return Failure("missing <" + std::string(positional) + ">", &verb);
        run.positionals.push_back(option->results().front());
    }
    return Success(std::move(run));
}

ParsedCommandLine CommandLineApp::Read(std::span<const std::string> arguments) const {
    if (version_->count() > 0) {
        // --version stands alone: any other word, a second --version included, is one too many.
        if (arguments.size() > 1) {
            return Failure("unexpected argument '" + (arguments[0] == "--version" ? arguments[1] : arguments[0]) + "'");
        }
        Invocation version;
        version.action = Invocation::Action::Version;
        return Success(std::move(version));
    }
    if (const auto leftOver = FirstLeftOver(root_)) {
        return Failure(LooksLikeOption(*leftOver) ? "unknown option '" + OptionName(*leftOver) + "'"
                                                  : "unknown verb '" + *leftOver + "'");
    }
    if (help_->parsed()) return ReadHelp();
    const ParsedVerbApp* parsed = Parsed();
    if (!parsed) return Failure("no verb given");
    return ReadVerb(*parsed);
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
    CommandLineApp cli;
    try {
        cli.Parse(arguments);
    } catch (const CLI::CallForHelp&) {
        return HelpFor(cli.ParsedVerb());
    } catch (const CLI::ParseError& error) {
        // --help wins wherever it stands, so that a half-typed command still shows its help.
        const VerbSyntax* verb = cli.ParsedVerb();
        if (cli.HelpAsked()) return HelpFor(verb);
        // CLI11 runs out of words only for an option whose value should follow: the last word.
        const std::string name = OptionName(arguments.back());
        const OptionSyntax* option = verb ? FindOption(*verb, name) : nullptr;
        if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && option) {
            return Failure("option " + name + " needs a value (" + std::string(option->valueName) + ")", verb);
        }
        return Failure(error.what(), verb);
    }
    return cli.Read(arguments);
}

std::string GeneralHelp() { return CommandLineApp().HelpText(nullptr); }
std::string VerbHelp(const VerbSyntax& verb) { return CommandLineApp().HelpText(&verb); }

}  // namespace ombrel_cli
