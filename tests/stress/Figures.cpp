#include "Figures.h"

#include <cstdio>
#include <set>
#include <sstream>

namespace stress {
namespace {

constexpr const char* kKeyType = "Key";

std::string Number(long value) { return value == kUnknown ? "n/a" : std::to_string(value); }

std::string Row(const std::string& name, long start, long middle, long end, int cycles) {
    char line[160];
    const bool known = start != kUnknown && end != kUnknown;
    char rate[32] = "";
    if (known) std::snprintf(rate, sizeof rate, "%.2f", PerCycle(start, end, cycles));
    std::snprintf(line, sizeof line, "  %-26s %10s %10s %10s %12s\n", name.c_str(), Number(start).c_str(),
                  Number(middle).c_str(), Number(end).c_str(), rate);
    return line;
}

long KiB(std::uint64_t bytes) { return static_cast<long>(bytes / 1024); }

std::set<std::string> TypesOf(const ProcessFigures& f) {
    std::set<std::string> types;
    for (const Sample* s : {&f.start, &f.middle, &f.end}) {
        for (const auto& entry : s->handlesByType) types.insert(entry.first);
    }
    return types;
}

struct Figure {
    std::string name;
    long start, middle, end;
};

std::vector<Figure> FiguresOf(const ProcessFigures& f) {
    std::vector<Figure> rows;
    for (const std::string& type : TypesOf(f)) {
        rows.push_back({"handles " + type, f.start.HandlesOf(type), f.middle.HandlesOf(type), f.end.HandlesOf(type)});
    }
    rows.push_back({"handles total", f.start.Handles(), f.middle.Handles(), f.end.Handles()});
    rows.push_back({"threads", f.start.threads, f.middle.threads, f.end.threads});
    rows.push_back({"filter objects", f.start.filterObjects, f.middle.filterObjects, f.end.filterObjects});
    rows.push_back({"private memory KiB", KiB(f.start.privateBytes), KiB(f.middle.privateBytes), KiB(f.end.privateBytes)});
    return rows;
}

}  // namespace

long Sample::Handles() const {
    if (handlesByType.empty()) return kUnknown;
    long total = 0;
    for (const auto& entry : handlesByType) total += entry.second;
    return total;
}

long Sample::HandlesOf(const std::string& type) const {
    if (handlesByType.empty()) return kUnknown;
    const auto found = handlesByType.find(type);
    return found == handlesByType.end() ? 0 : found->second;
}

double PerCycle(long start, long end, int cycles) {
    return cycles < 1 ? 0.0 : static_cast<double>(end - start) / cycles;
}

std::string FormatFigures(const ProcessFigures& f) {
    std::string text = f.process + ", " + std::to_string(f.cycles) + " cycles:\n";
    char header[160];
    std::snprintf(header, sizeof header, "  %-26s %10s %10s %10s %12s\n", "", "start", "middle", "end", "per cycle");
    text += header;
    for (const Figure& row : FiguresOf(f)) text += Row(row.name, row.start, row.middle, row.end, f.cycles);
    return text;
}

std::string FormatFigureLines(const std::string& run, const ProcessFigures& f) {
    std::string text;
    for (const Figure& row : FiguresOf(f)) {
        std::string name = row.name;
        for (char& c : name) c = c == ' ' ? '_' : c;
        std::string process = f.process;
        for (char& c : process) c = c == ' ' ? '_' : c;
        char rate[32] = "n/a";
        if (row.start != kUnknown && row.end != kUnknown) std::snprintf(rate, sizeof rate, "%.2f", PerCycle(row.start, row.end, f.cycles));
        text += "figure " + run + " " + process + " " + name + " " + Number(row.start) + " " + Number(row.middle) + " " +
                Number(row.end) + " " + rate + "\n";
    }
    return text;
}

std::vector<std::string> SettledProblems(const ProcessFigures& f) {
    std::vector<std::string> problems;
    if (f.start.threads == kUnknown || f.end.threads == kUnknown) {
        problems.push_back(f.process + ": thread count unknown");
    } else if (f.end.threads != f.start.threads) {
        problems.push_back(f.process + ": " + std::to_string(f.end.threads) + " threads at the end, " +
                           std::to_string(f.start.threads) + " at the start");
    }
    if (f.start.filterObjects != kUnknown && f.end.filterObjects != f.start.filterObjects) {
        problems.push_back(f.process + ": " + Number(f.end.filterObjects) + " live filter objects at the end, " +
                           std::to_string(f.start.filterObjects) + " at the start");
    }
    return problems;
}

std::optional<std::string> KeyGrowthProblem(const ProcessFigures& f, std::optional<double> maxPerCycle) {
    if (!maxPerCycle) return std::nullopt;
    const long start = f.start.HandlesOf(kKeyType), end = f.end.HandlesOf(kKeyType);
    if (start == kUnknown || end == kUnknown) return f.process + ": key handles could not be counted";
    const double rate = PerCycle(start, end, f.cycles);
    if (rate <= *maxPerCycle) return std::nullopt;
    char text[160];
    std::snprintf(text, sizeof text, "%s: key handles grew from %ld to %ld, %.2f a cycle (at most %.2f allowed)",
                  f.process.c_str(), start, end, rate, *maxPerCycle);
    return std::string(text);
}

std::string EncodeSample(const Sample& s) {
    std::ostringstream out;
    out << "threads=" << s.threads << " filters=" << s.filterObjects << " private=" << s.privateBytes;
    for (const auto& entry : s.handlesByType) out << " handles:" << entry.first << "=" << entry.second;
    return out.str();
}

Sample DecodeSample(const std::string& line) {
    Sample s;
    std::istringstream in(line);
    std::string word;
    while (in >> word) {
        const std::size_t equals = word.rfind('=');
        if (equals == std::string::npos) continue;
        const std::string name = word.substr(0, equals);
        const std::string value = word.substr(equals + 1);
        try {
            if (name == "threads") s.threads = std::stol(value);
            else if (name == "filters") s.filterObjects = std::stol(value);
            else if (name == "private") s.privateBytes = std::stoull(value);
            else if (name.rfind("handles:", 0) == 0) s.handlesByType[name.substr(8)] = std::stol(value);
        } catch (const std::exception&) {
            // A garbled figure stays unknown.
        }
    }
    return s;
}

}  // namespace stress
