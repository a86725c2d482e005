#include "ScanArguments.h"

#include "ExitCodes.h"

#include <algorithm>
#include <cctype>

namespace ombrel_cli {
namespace {

// "A", "A,C", "a,b,c,d": inputs in the order given, each once.
std::optional<std::vector<std::uint8_t>> ParseInputs(std::string_view text, std::string& error) {
    std::vector<std::uint8_t> inputs;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = text.substr(start, comma - start);
        const char letter = item.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(item[0]))) : 0;
        if (letter < 'A' || letter > 'D') {
            error = "--input '" + std::string(text) + "' is not a list of DiSEqC inputs A, B, C, D (A or A,B)";
            return std::nullopt;
        }
        const auto input = static_cast<std::uint8_t>(letter - 'A');
        if (std::find(inputs.begin(), inputs.end(), input) == inputs.end()) inputs.push_back(input);
        if (comma == std::string_view::npos) return inputs;
        start = comma + 1;
    }
}

}  // namespace

std::optional<ScanArguments> ParseScanArguments(const Invocation& invocation, std::string& error) {
    ScanArguments a;
    if (const std::string* inputs = invocation.Value("--input")) {
        const auto parsed = ParseInputs(*inputs, error);
        if (!parsed) return std::nullopt;
        a.inputs = *parsed;
        a.inputsGiven = true;
    }
    if (const std::string* lnb = invocation.Value("--lnb")) {
        a.lnb = ParseLnbOption(*lnb, error);
        if (!a.lnb) return std::nullopt;
    }
    if (const std::string* family = invocation.Value("--family")) {
        a.family = ParseFamilyOption(*family, error);
        if (!a.family) return std::nullopt;
    }
    if (const std::string* timeout = invocation.Value("--timeout")) {
        const auto parsed = ParseSeconds("--timeout", *timeout, error);
        if (!parsed) return std::nullopt;
        a.timeout = *parsed;
    }
    if (const std::string* file = invocation.Value("--from")) a.from = *file;
    if (const std::string* file = invocation.Value("--out")) a.out = *file;
    a.json = invocation.Has("--json");
    return a;
}

std::optional<Reception> ScanFamily(const ScanArguments& a, Reception model, std::string_view tunerName,
                                    PlanRefusal& refusal) {
    const std::string name(tunerName);
    Reception family = model;
    if (model == Reception::Cable) {
        refusal = {kExitWrongFamily, name + " is a cable tuner: ombrel scans satellite, terrestrial and ATSC tuners"};
        return std::nullopt;
    }
    if (model == Reception::Unknown) {
        if (!a.family) {
            refusal = {kExitUsage, "the model of " + name +
                                       " is not known, and so not what it receives: give --family satellite, "
                                       "terrestrial or atsc"};
            return std::nullopt;
        }
        family = *a.family;
    } else if (a.family && *a.family != model) {
        refusal = {kExitWrongFamily, name + " is a " + std::string(ReceptionText(model)) + " tuner, not " +
                                         std::string(ReceptionText(*a.family))};
        return std::nullopt;
    }
    if (family != Reception::Satellite && (a.inputsGiven || a.lnb)) {
        refusal = {kExitWrongFamily, std::string(a.inputsGiven ? "--input" : "--lnb") + " is for satellite tuners; " +
                                         name + " is a" + (family == Reception::Atsc ? "n " : " ") +
                                         std::string(ReceptionText(family)) + " tuner"};
        return std::nullopt;
    }
    return family;
}

}  // namespace ombrel_cli
