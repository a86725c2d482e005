// ombrel's command line, as anyone may type it: words separated by NUL in the input.
//
// Properties:
// - Parsing ends in an invocation or an error for the user, never anything else.
// - An invocation written back as arguments (options as --name=value, positionals after
//   "--") parses to the same invocation; so does the --name value form, unless a value
//   is a help option (which wins wherever it stands, by design).
// - Tune arguments that are accepted, written back in ombrel's own syntax (frequencies
//   in kHz or MHz, the names of polarisations, rates, ports, PIDs, seconds), read the
//   same; a tune planned for any model lies within what its family takes (the
//   intermediate frequency within 950..2150 MHz, the terrestrial band, the PID limits),
//   and a refusal carries its exit code and a reason.
// - The ci verb's arguments are read or refused with a reason; an accepted answer list
//   has no empty entry, "q" only as its last, and joined with commas reads the same.
// - A <tuner> that is accepted is three decimal digits at most or a GUID's start (with
//   sixteen digits also an identifier, whose byte order turned twice is itself), and
//   resolves against any list of tuners to at most one tuner: the first with that index,
//   or the first entry of the only box whose GUID begins so or is the identifier's.
#include "CiArguments.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "FuzzSupport.h"
#include "TuneArguments.h"
#include "TunerSelector.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace {

using namespace ombrel_cli;

std::vector<std::string> Words(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    if (words.back().empty()) words.pop_back();
    return words;
}

bool IsHelp(const std::string& word) { return word == "--help" || word == "-h"; }

bool Same(const Invocation& a, const Invocation& b) {
    return a.action == b.action && a.verb == b.verb && a.positionals == b.positionals && a.options == b.options;
}

std::vector<std::string> Written(const Invocation& invocation, bool joined) {
    if (invocation.action == Invocation::Action::Version) return {"--version"};
    if (invocation.action == Invocation::Action::Help) {
        if (!invocation.verb) return {"--help"};
        return {std::string(invocation.verb->name), "--help"};
    }
    std::vector<std::string> words{std::string(invocation.verb->name)};
    for (const auto& [name, value] : invocation.options) {
        if (value.empty()) {
            words.push_back(name);
        } else if (joined) {
            words.push_back(name + "=" + value);
        } else {
            words.push_back(name);
            words.push_back(value);
        }
    }
    words.push_back("--");
    words.insert(words.end(), invocation.positionals.begin(), invocation.positionals.end());
    return words;
}

void CheckRewritten(const Invocation& invocation) {
    const ParsedCommandLine again = ParseCommandLine(Written(invocation, true));
    FUZZ_REQUIRE(again.invocation && Same(*again.invocation, invocation), "--name=value written back parses the same");
    bool helpValue = false;
    for (const auto& option : invocation.options) helpValue = helpValue || IsHelp(option.second);
    if (helpValue) return;
    const ParsedCommandLine separate = ParseCommandLine(Written(invocation, false));
    FUZZ_REQUIRE(separate.invocation && Same(*separate.invocation, invocation), "--name value written back parses the same");
}

// --- tune ---------------------------------------------------------------------------

std::string KHz(std::uint32_t kHz, bool asMHz) {
    if (!asMHz) return std::to_string(kHz) + "kHz";
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", kHz / 1000, kHz % 1000);
    return text;
}

std::string Seconds(std::chrono::milliseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(time.count() / 1000),
                  static_cast<long long>(time.count() % 1000));
    return text;
}

Invocation WrittenTune(const Invocation& original, const TuneArguments& a, bool asMHz) {
    Invocation tune;
    tune.action = Invocation::Action::Run;
    tune.verb = original.verb;
    tune.positionals = {original.positionals.at(0), KHz(a.frequencyKHz, asMHz)};
    auto add = [&](const char* name, std::string value) { tune.options.emplace_back(name, std::move(value)); };
    if (a.polarisation) add("--pol", std::string(PolarisationText(*a.polarisation)));
    if (a.symbolRate) add("--symbol-rate", std::to_string(*a.symbolRate));
    if (a.modulation) add("--modulation", std::string(ModulationText(*a.modulation)));
    if (a.fec) add("--fec", std::string(FecText(*a.fec)));
    if (a.lnb) {
        std::string lnb = KHz(a.lnb->lofLowKHz, asMHz);
        if (a.lnb->lofHighKHz != 0) lnb += "," + KHz(a.lnb->lofHighKHz, asMHz) + "," + KHz(a.lnb->switchKHz, asMHz);
        add("--lnb", lnb);
    }
    if (a.diseqcPort) add("--diseqc", std::string(PortText(*a.diseqcPort)));
    if (a.bandwidthMHz) add("--bandwidth", std::to_string(*a.bandwidthMHz));
    if (a.guard) add("--guard", std::string(GuardText(*a.guard)));
    if (a.mode) add("--mode", std::string(ModeText(*a.mode)));
    if (a.pids) {
        std::string pids;
        for (std::uint16_t pid : *a.pids) pids += (pids.empty() ? "" : ",") + (pid == tuning::kPidAll ? "all" : std::to_string(pid));
        add("--pids", pids);
    }
    if (a.family) add("--family", std::string(ReceptionText(*a.family)));
    add("--timeout", Seconds(a.timeout));
    if (a.json) add("--json", "");
    return tune;
}

bool Same(const TuneArguments& a, const TuneArguments& b) {
    const auto sameLnb = [](const std::optional<LnbSetting>& x, const std::optional<LnbSetting>& y) {
        if (x.has_value() != y.has_value()) return false;
        return !x || (x->lofLowKHz == y->lofLowKHz && x->lofHighKHz == y->lofHighKHz && x->switchKHz == y->switchKHz);
    };
    return a.frequencyKHz == b.frequencyKHz && a.polarisation == b.polarisation && a.symbolRate == b.symbolRate &&
           a.modulation == b.modulation && a.fec == b.fec && sameLnb(a.lnb, b.lnb) && a.diseqcPort == b.diseqcPort &&
           a.bandwidthMHz == b.bandwidthMHz && a.guard == b.guard && a.mode == b.mode && a.pids == b.pids &&
           a.family == b.family && a.timeout == b.timeout && a.json == b.json;
}

void CheckPlan(const TuneArguments& a, Reception model) {
    PlanRefusal refusal;
    const auto plan = PlanTune(a, model, "tuner 0 (fuzz)", refusal);
    if (!plan) {
        FUZZ_REQUIRE(refusal.exitCode == kExitUsage || refusal.exitCode == kExitWrongFamily, "a refusal's exit code");
        FUZZ_REQUIRE(!refusal.message.empty(), "a refusal says why");
        return;
    }
    FUZZ_REQUIRE(model != Reception::Cable, "cable tuners are not tuned");
    FUZZ_REQUIRE(model == Reception::Unknown ? a.family == plan->family : plan->family == model, "the model's family");
    if (const auto* satellite = std::get_if<SatelliteTune>(&plan->tune)) {
        FUZZ_REQUIRE(plan->family == Reception::Satellite, "a satellite tune for a satellite tuner");
        FUZZ_REQUIRE(satellite->intermediateKHz >= tuning::kIfMinKHz && satellite->intermediateKHz <= tuning::kIfMaxKHz,
                     "the intermediate frequency within 950..2150 MHz");
        FUZZ_REQUIRE(satellite->symbolRate >= tuning::kMinSymbolRate && satellite->symbolRate <= tuning::kMaxSymbolRate,
                     "a symbol rate within range");
        FUZZ_REQUIRE(!plan->pids || plan->pids->size() <= tuning::kMaxPidsSatellite, "29 PIDs at most");
        const auto diseqc = DiseqcSwitchMessage(*satellite);
        FUZZ_REQUIRE(diseqc.size() == 4 && diseqc[0] == 0xE0 && (diseqc[3] & 0xF0) == 0xF0, "a committed-switch message");
    } else {
        const auto& terrestrial = std::get<TerrestrialTune>(plan->tune);
        FUZZ_REQUIRE(plan->family == Reception::Terrestrial || plan->family == Reception::Atsc, "a terrestrial family");
        FUZZ_REQUIRE(terrestrial.frequencyKHz >= tuning::kTerrestrialMinKHz &&
                         terrestrial.frequencyKHz <= tuning::kTerrestrialMaxKHz,
                     "within the terrestrial band");
        FUZZ_REQUIRE(terrestrial.fec <= tuning::kFec7_8, "a terrestrial code rate");
        FUZZ_REQUIRE(terrestrial.bandwidthMHz >= 6 && terrestrial.bandwidthMHz <= 8, "6, 7 or 8 MHz");
        FUZZ_REQUIRE(!plan->pids || plan->pids->size() <= tuning::kMaxPidsTerrestrial, "27 PIDs at most");
    }
}

void CheckTune(const Invocation& invocation) {
    std::string error;
    const auto arguments = ParseTuneArguments(invocation, error);
    if (!arguments) {
        FUZZ_REQUIRE(!error.empty(), "a tune refused says why");
        return;
    }
    FUZZ_REQUIRE(arguments->frequencyKHz > 0 && arguments->frequencyKHz <= 100000000, "a frequency within reach");
    FUZZ_REQUIRE(arguments->timeout.count() > 0 && arguments->timeout.count() <= 3600000, "a timeout up to an hour");
    if (arguments->pids) {
        for (std::uint16_t pid : *arguments->pids) FUZZ_REQUIRE(pid <= 0x1FFF || pid == tuning::kPidAll, "PIDs within range");
    }
    for (bool asMHz : {false, true}) {
        const Invocation written = WrittenTune(invocation, *arguments, asMHz);
        std::string againError;
        const auto again = ParseTuneArguments(written, againError);
        FUZZ_REQUIRE(again && Same(*again, *arguments), "tune arguments written back read the same");
    }
    for (Reception model : {Reception::Satellite, Reception::Terrestrial, Reception::Atsc, Reception::Cable, Reception::Unknown}) {
        CheckPlan(*arguments, model);
    }
}

// --- <tuner> ------------------------------------------------------------------------

// Tuners for the selector to be resolved against, made from the input: some whose GUID
// begins with the selector's text, some listed twice (both driver models), some with
// gaps in their indices, and one whose name held no identifier.
std::vector<TunerIdentity> TunersFor(const TunerSelector& selector, const std::uint8_t* data, std::size_t size) {
    std::vector<TunerIdentity> tuners;
    std::uint32_t state = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) state = (state ^ data[i]) * 16777619u;
    const auto next = [&] { return state = state * 1103515245u + 12345u, state >> 8; };
    const std::size_t count = next() % 9;
    unsigned long index = 0;
    for (std::size_t i = 0; i < count; ++i) {
        TunerIdentity tuner;
        index += 1 + (next() % 4 == 0);
        tuner.index = next() % 5 == 0 ? selector.index : index;
        const unsigned kind = next() % 7;
        if (kind == 0 && !tuners.empty()) {
            tuner.guid = tuners.back().guid;
        } else if (kind == 6 && selector.identifierGuid) {
            tuner.guid = *selector.identifierGuid;
        } else if (kind == 1) {
            tuner.guid = "Error";
        } else {
            tuner.guid = kind <= 3 && selector.kind == TunerSelector::Kind::Guid ? selector.guidPrefix : "";
            while (tuner.guid.size() < 16) tuner.guid += "0123456789abcdef"[next() % (kind == 4 ? 2 : 16)];
        }
        tuners.push_back(tuner);
    }
    return tuners;
}

void CheckSelector(const std::string& text, const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto selector = ParseTunerSelector(text, error);
    if (!selector) {
        FUZZ_REQUIRE(!error.empty(), "a refused <tuner> says why");
        return;
    }
    if (selector->kind == TunerSelector::Kind::Index) {
        FUZZ_REQUIRE(!text.empty() && text.size() <= 3 && std::to_string(selector->index).size() <= text.size(),
                     "an index has three digits at most");
    } else {
        FUZZ_REQUIRE(!selector->guidPrefix.empty() && selector->guidPrefix.size() <= 16, "a GUID's start, 16 digits at most");
        FUZZ_REQUIRE(selector->guidPrefix.find_first_not_of("0123456789ABCDEF") == std::string::npos, "upper-case hex");
        FUZZ_REQUIRE(selector->identifierGuid.has_value() == (selector->guidPrefix.size() == 16), "16 digits: an identifier too");
        if (selector->identifierGuid) {
            FUZZ_REQUIRE(SwapByteOrder(*selector->identifierGuid) == selector->guidPrefix, "the byte order turned twice");
        }
    }
    const std::vector<TunerIdentity> tuners = TunersFor(*selector, data, size);
    std::string why;
    const auto found = ResolveTuner(*selector, tuners, why);
    std::vector<std::string> boxes;  // distinct GUIDs that fit
    std::optional<std::size_t> first;
    for (std::size_t i = 0; i < tuners.size(); ++i) {
        bool fits = false;
        if (selector->kind == TunerSelector::Kind::Index) {
            fits = tuners[i].index == selector->index;
        } else if (tuners[i].guid.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            const std::string guid = NormalizeGuid(tuners[i].guid);
            fits = guid.rfind(selector->guidPrefix, 0) == 0 || guid == selector->identifierGuid;
            if (fits && std::find(boxes.begin(), boxes.end(), guid) == boxes.end()) boxes.push_back(guid);
        }
        if (fits && !first) first = i;
    }
    if (selector->kind == TunerSelector::Kind::Guid && boxes.size() > 1) {
        FUZZ_REQUIRE(!found && !why.empty(), "a prefix that fits several boxes selects none");
        return;
    }
    FUZZ_REQUIRE(found == first, "the first tuner that fits, or none");
    if (!found) FUZZ_REQUIRE(!why.empty(), "no tuner selected says why");
}

void CheckAnswerList(std::string_view text) {
    std::string error;
    const auto answers = ParseAnswerList(text, error);
    FUZZ_REQUIRE(answers.has_value() != !error.empty(), "answers, or why not");
    if (!answers) return;
    FUZZ_REQUIRE(!answers->empty(), "an accepted list has answers");
    std::string joined;
    for (std::size_t i = 0; i < answers->size(); ++i) {
        const std::string& answer = (*answers)[i];
        FUZZ_REQUIRE(!answer.empty() && answer.size() <= 255, "no empty answer, none longer than a reply holds");
        FUZZ_REQUIRE(answer != "q" || i + 1 == answers->size(), "q only as the last answer");
        FUZZ_REQUIRE(answer.find(',') == std::string::npos, "no answer holds the separator");
        joined += (i ? "," : "") + answer;
    }
    std::string againError;
    FUZZ_REQUIRE(ParseAnswerList(joined, againError) == answers, "an answer list joined again reads the same");
}

void CheckCi(const Invocation& invocation) {
    std::string error;
    const auto ci = ParseCiArguments(invocation, error);
    FUZZ_REQUIRE(ci.has_value() != !error.empty(), "ci arguments, or why not");
    if (!ci) return;
    FUZZ_REQUIRE(ci->timeout.count() > 0, "a positive timeout");
    FUZZ_REQUIRE(!ci->answers || ci->action == CiAction::Menu, "answers only for a menu walk");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> words = Words(data, size);
    const ParsedCommandLine parsed = ParseCommandLine(words);
    FUZZ_REQUIRE(parsed.invocation.has_value() != !parsed.error.empty(), "an invocation or an error, not both");
    if (parsed.invocation) {
        const Invocation& invocation = *parsed.invocation;
        CheckRewritten(invocation);
        if (invocation.action == Invocation::Action::Run) {
            FUZZ_REQUIRE(invocation.verb && invocation.positionals.size() == invocation.verb->positionals.size(),
                         "a verb with all its positionals");
            if (invocation.verb->name == "tune") CheckTune(invocation);
            if (invocation.verb->name == "ci") CheckCi(invocation);
            if (invocation.verb->name == "status") {
                std::string error;
                const auto status = ParseStatusArguments(invocation, error);
                FUZZ_REQUIRE(status || !error.empty(), "status arguments, or why not");
                if (status) FUZZ_REQUIRE(status->interval.count() > 0 && status->interval.count() <= 3600000, "an interval");
            }
        }
    }
    for (const std::string& word : words) {
        CheckSelector(word, data, size);
        CheckAnswerList(word);
    }
    return 0;
}
