// The command line, the verb table and its help texts, and the <tuner> argument.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "TunerSelector.h"
#include "Verbs.h"

#include <sstream>
#include <vector>

using namespace ombrel_cli;

namespace {

ParsedCommandLine Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

std::string ErrorOf(std::vector<std::string> arguments) {
    const ParsedCommandLine parsed = Parse(std::move(arguments));
    EXPECT_FALSE(parsed.invocation.has_value());
    return parsed.error;
}

}  // namespace

TEST(CommandLine, VerbsOptionsAndPositionals) {
    ParsedCommandLine parsed = Parse({"update", "0x01", "--image=a b.hex", "--yes"});
    ASSERT_TRUE(parsed.invocation) << parsed.error;
    const Invocation& update = *parsed.invocation;
    EXPECT_EQ(update.action, Invocation::Action::Run);
    EXPECT_EQ(update.verb, FindVerb("update"));
    EXPECT_EQ(update.positionals, std::vector<std::string>{"0x01"});
    ASSERT_NE(update.Value("--image"), nullptr);
    EXPECT_EQ(*update.Value("--image"), "a b.hex");
    EXPECT_TRUE(update.Has("--yes"));
    EXPECT_FALSE(update.Has("--auto"));

    // Options may come first, a value may follow as the next argument, and after "--"
    // an argument that begins with '-' is positional.
    parsed = Parse({"update", "--image", "-odd.hex", "3"});
    ASSERT_TRUE(parsed.invocation) << parsed.error;
    EXPECT_EQ(*parsed.invocation->Value("--image"), "-odd.hex");
    EXPECT_EQ(parsed.invocation->positionals, std::vector<std::string>{"3"});
    parsed = Parse({"info", "--", "-1"});
    ASSERT_TRUE(parsed.invocation);
    EXPECT_EQ(parsed.invocation->positionals, std::vector<std::string>{"-1"});

    parsed = Parse({"list", "--json"});
    ASSERT_TRUE(parsed.invocation);
    EXPECT_TRUE(parsed.invocation->Has("--json"));
    EXPECT_TRUE(parsed.invocation->positionals.empty());
}

TEST(CommandLine, HelpAndVersion) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"help"}}) {
        const ParsedCommandLine parsed = Parse(arguments);
        ASSERT_TRUE(parsed.invocation);
        EXPECT_EQ(parsed.invocation->action, Invocation::Action::Help);
        EXPECT_EQ(parsed.invocation->verb, nullptr);
    }
    // A verb's --help wins over everything else that is wrong on the line.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"update", "--help"}, {"update", "--bogus", "-h", "x", "y"}, {"help", "update"}}) {
        const ParsedCommandLine parsed = Parse(arguments);
        ASSERT_TRUE(parsed.invocation) << parsed.error;
        EXPECT_EQ(parsed.invocation->action, Invocation::Action::Help);
        EXPECT_EQ(parsed.invocation->verb, FindVerb("update"));
    }
    // ... but not after "--", where it is an argument.
    EXPECT_EQ(ErrorOf({"list", "--", "--help"}), "unexpected argument '--help'");
    const ParsedCommandLine version = Parse({"--version"});
    ASSERT_TRUE(version.invocation);
    EXPECT_EQ(version.invocation->action, Invocation::Action::Version);
}

TEST(CommandLine, ErrorsNameWhatIsWrong) {
    EXPECT_EQ(ErrorOf({}), "no verb given");
    EXPECT_EQ(ErrorOf({"lsit"}), "unknown verb 'lsit'");
    EXPECT_EQ(ErrorOf({"LIST"}), "unknown verb 'LIST'");
    EXPECT_EQ(ErrorOf({"--json"}), "unknown option '--json'");
    EXPECT_EQ(ErrorOf({"help", "frob"}), "unknown verb 'frob'");
    EXPECT_EQ(ErrorOf({"help", "list", "x"}), "unexpected argument 'x'");
    EXPECT_EQ(ErrorOf({"--version", "x"}), "unexpected argument 'x'");
    // The first word too many is named, not the last one.
    EXPECT_EQ(ErrorOf({"--version", "list", "--json"}), "unexpected argument 'list'");
    EXPECT_EQ(ErrorOf({"--version", "--version"}), "unexpected argument '--version'");
    EXPECT_EQ(ErrorOf({"info", "1", "--version"}), "unknown option '--version' for 'info'");
    EXPECT_EQ(ErrorOf({"list", "--image", "f"}), "unknown option '--image' for 'list'");
    EXPECT_EQ(ErrorOf({"list", "0"}), "unexpected argument '0'");
    EXPECT_EQ(ErrorOf({"info"}), "missing <tuner>");
    EXPECT_EQ(ErrorOf({"info", "1", "2"}), "unexpected argument '2'");
    EXPECT_EQ(ErrorOf({"update", "1", "--image"}), "option --image needs a value (FILE)");
    EXPECT_EQ(ErrorOf({"update", "1", "--image="}), "option --image needs a value (FILE)");
    EXPECT_EQ(ErrorOf({"update", "1", "--yes=no"}), "option --yes takes no value");
    EXPECT_EQ(ErrorOf({"update", "1", "--auto", "--auto"}), "option --auto given twice");
    EXPECT_EQ(ErrorOf({"info", "-x"}), "unknown option '-x' for 'info'");
    // The verb an error belongs to is known, so that its help can be pointed at.
    EXPECT_EQ(Parse({"info"}).verb, FindVerb("info"));
    EXPECT_EQ(Parse({"lsit"}).verb, nullptr);
}

TEST(Verbs, HelpTextsCoverEveryVerbOptionAndExitCode) {
    const std::string general = GeneralHelp();
    for (const VerbSyntax& verb : Verbs()) {
        EXPECT_NE(general.find("  " + std::string(verb.name) + " "), std::string::npos) << verb.name;
        EXPECT_NE(general.find(std::string(verb.summary)), std::string::npos);
        const std::string help = VerbHelp(verb);
        EXPECT_EQ(help.rfind("Usage: ombrel " + std::string(verb.name) + " " + std::string(verb.synopsis) + "\n", 0), 0u);
        for (const OptionSyntax& option : verb.options) {
            std::string name = "  " + std::string(option.name);
            if (!option.valueName.empty()) name += " " + std::string(option.valueName);
            EXPECT_NE(help.find(name), std::string::npos) << verb.name << option.name;
            // Each line of the option's text, its further lines indented under the first.
            std::istringstream lines{std::string(option.help)};
            for (std::string line; std::getline(lines, line);) {
                EXPECT_NE(help.find(line + "\n"), std::string::npos) << line;
            }
        }
        EXPECT_NE(help.find("  --help"), std::string::npos);
        EXPECT_EQ(help.find("<tuner> is an index") != std::string::npos, !verb.positionals.empty()) << verb.name;
    }
    // Every exit code has its line, in the general help and in update's.
    int previous = -1;
    for (const ExitCodeText& row : ExitCodeTable()) {
        EXPECT_GT(row.code, previous);
        previous = row.code;
        const std::string line = (row.code < 10 ? "  " + std::to_string(row.code) + "   " : "  " + std::to_string(row.code) + "  ") +
                                 row.meaning + "\n";
        EXPECT_NE(general.find(line), std::string::npos) << line;
        EXPECT_NE(VerbHelp(*FindVerb("update")).find(line), std::string::npos) << line;
    }
    EXPECT_EQ(VerbHelp(*FindVerb("list")).find("Exit codes:\n"), std::string::npos);

    // A value that must be given shows no default: --symbol-rate has none.
    const std::string tune = VerbHelp(*FindVerb("tune"));
    const std::string symbolRate = tune.substr(tune.find("  --symbol-rate KS/S "), 160);
    EXPECT_EQ(symbolRate.find("(27500)"), std::string::npos) << symbolRate;
    EXPECT_NE(symbolRate.find("required"), std::string::npos) << symbolRate;
    EXPECT_NE(symbolRate.find("no default"), std::string::npos) << symbolRate;

    // The failures that leave the user without an obvious way on have a next step; the
    // others say theirs in their message.
    for (const ExitCodeText& row : ExitCodeTable()) {
        const bool hinted = row.code == kExitBadImageFile || row.code == kExitCiNoSlot || row.code == kExitCiNoModule ||
                            row.code == kExitNotReceiving;
        EXPECT_EQ(NextStep(row.code).empty(), !hinted) << row.code;
    }
    EXPECT_NE(NextStep(kExitBadImageFile).find("leave --image out"), std::string::npos);
    EXPECT_NE(NextStep(kExitCiNoSlot).find("'ombrel info <tuner>'"), std::string::npos);
    EXPECT_NE(NextStep(kExitCiNoModule).find("--timeout"), std::string::npos);
    EXPECT_EQ(VersionText("1.10.2"), "ombrel 1.0.0 (OmbrelApi 1.10.2)\n");
    EXPECT_EQ(FindOption(*FindVerb("watch"), "--image"), nullptr);
}

TEST(TunerSelector, IndexesGuidsAndPrefixes) {
    std::string error;
    auto selector = ParseTunerSelector("7", error);
    ASSERT_TRUE(selector);
    EXPECT_EQ(selector->kind, TunerSelector::Kind::Index);
    EXPECT_EQ(selector->index, 7u);
    selector = ParseTunerSelector("099", error);
    ASSERT_TRUE(selector);
    EXPECT_EQ(selector->index, 99u);
    // Four digits and more, letters, or "0x" make a GUID.
    for (const auto& [text, prefix] : std::vector<std::pair<std::string, std::string>>{
             {"0100", "0100"}, {"0x01", "01"}, {"0X0a", "0A"}, {"ab", "AB"}, {"0100e5d4c3b2a100", "0100E5D4C3B2A100"}}) {
        selector = ParseTunerSelector(text, error);
        ASSERT_TRUE(selector) << text;
        EXPECT_EQ(selector->kind, TunerSelector::Kind::Guid) << text;
        EXPECT_EQ(selector->guidPrefix, prefix);
    }
    for (const std::string text : {"", "0x", "zz", "-1", "1.5", "0100e5d4c3b2a1000", " 1"}) {
        error.clear();
        EXPECT_FALSE(ParseTunerSelector(text, error)) << text;
        EXPECT_EQ(error, "'" + text + "' is neither a tuner index nor a GUID");
    }

    const std::vector<TunerIdentity> tuners = {
        {0, "0600e5d4c3b2a100"}, {1, "0300e5d4c3b2a100"}, {2, "0100E5D4C3B2A100"}, {3, "0300e5d4c3b2a100"}, {4, "Error"}};
    const auto resolve = [&](const std::string& text) -> std::optional<std::size_t> {
        error.clear();
        const auto parsed = ParseTunerSelector(text, error);
        return parsed ? ResolveTuner(*parsed, tuners, error) : std::nullopt;
    };
    EXPECT_EQ(resolve("2"), 2u);
    EXPECT_EQ(resolve("0x01"), 2u);
    EXPECT_EQ(resolve("0x0100E5D4C3B2A100"), 2u);
    EXPECT_EQ(resolve("0x06"), 0u);
    // Both entries of one box: the first.
    EXPECT_EQ(resolve("0x03"), 1u);
    EXPECT_EQ(resolve("0300e5d4c3b2a100"), 1u);
    EXPECT_FALSE(resolve("0x0"));
    EXPECT_EQ(error, "GUID prefix 0 is ambiguous: it fits 0600E5D4C3B2A100, 0300E5D4C3B2A100, 0100E5D4C3B2A100");
    // Every "no tuner" says which forms a <tuner> takes.
    const std::string forms =
        ". A <tuner> is an index as 'ombrel list' shows it, a GUID or its start (0x0100E5), or a box's "
        "identifier as 'ombrel info' and tunersim show it (00a1b2c3d4e50001, 0x allowed)";
    EXPECT_FALSE(resolve("0x02"));
    EXPECT_EQ(error, "no tuner with a GUID beginning 02: 5 tuners are attached (index 0 to 4)" + forms);
    EXPECT_FALSE(resolve("0200e5d4c3b2a100"));
    EXPECT_EQ(error, "no tuner with GUID or identifier 0200E5D4C3B2A100: 5 tuners are attached (index 0 to 4)" + forms);
    EXPECT_FALSE(resolve("5"));
    EXPECT_EQ(error, "no tuner with index 5: 5 tuners are attached (index 0 to 4)" + forms);

    // A box's identifier (as info and tunersim spell it) names it as its GUID does.
    EXPECT_EQ(resolve("00a1b2c3d4e50001"), 2u);
    EXPECT_EQ(resolve("0x00A1B2C3D4E50001"), 2u);
    EXPECT_EQ(resolve("00a1b2c3d4e50003"), 1u);  // the first entry of a box in both driver models
    EXPECT_FALSE(resolve("00a1b2c3d4e5"));       // only whole identifiers: a start is a GUID's
    EXPECT_NE(error.find("no tuner with a GUID beginning 00A1B2C3D4E5: "), std::string::npos) << error;
    EXPECT_EQ(SwapByteOrder("00a1b2c3d4e50001"), "0100E5D4C3B2A100");
    // Sixteen digits that are one box's GUID and another's identifier select neither.
    const std::vector<TunerIdentity> crossed = {{0, "0100e5d4c3b2a100"}, {1, "00a1b2c3d4e50001"}};
    selector = ParseTunerSelector("00a1b2c3d4e50001", error);
    ASSERT_TRUE(selector);
    EXPECT_FALSE(ResolveTuner(*selector, crossed, error));
    EXPECT_EQ(error, "GUID or identifier 00A1B2C3D4E50001 is ambiguous: it fits 0100E5D4C3B2A100, 00A1B2C3D4E50001");
    // "Error" (a display name without a GUID) is no GUID to match.
    EXPECT_FALSE(resolve("0xE"));

    ASSERT_TRUE((selector = ParseTunerSelector("0", error)));
    EXPECT_FALSE(ResolveTuner(*selector, {}, error));
    EXPECT_EQ(error, "no tuner with index 0: no tuner is attached" + forms);
    ASSERT_TRUE((selector = ParseTunerSelector("1", error)));
    EXPECT_FALSE(ResolveTuner(*selector, std::vector<TunerIdentity>{{0, "0100e5d4c3b2a100"}}, error));
    EXPECT_EQ(error, "no tuner with index 1: 1 tuner is attached (index 0)" + forms);
}
