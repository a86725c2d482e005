// A channel scan of each simulated family by the real ombrel.exe, against its floor and
// against the fixed waits of a Linux scan tool. The floor of a scan: for each candidate
// tuned, the front end's settle time (the moment it can say lock or no signal); for each
// multiplex found, one repetition of each table it needs (PAT, each PMT, SDT or MGT and
// VCT) and of the NIT once per network. The Linux tool's: the same settle times, and per
// multiplex 1 s for the PAT, 1 s per PMT, 2 s for the SDT (VCT) and 10 s for the NIT.
// Both take their figures from the simulator's own constants and sky.
//
//   bench_scan [ROUNDS]   (default 3; medians of the scan's own elapsed time)
#include <windows.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "FrontEndState.h"
#include "Multiplexer.h"
#include "Sky.h"
#include "TunerSimControl.h"

namespace {

namespace sky = tunersim::sky;
using Repetition = tunersim::stream::Repetition;

enum class Family { Satellite, Terrestrial, Atsc };

struct Case {
    const char* name;
    Family family;
    const char* preset;
    const char* id;
    bool startFile;
};

constexpr Case kCases[] = {
    {"satellite (start file, NIT)", Family::Satellite, "talvex-s2", "00a1b2c3d4e50b01", true},
    {"terrestrial (raster + NIT)", Family::Terrestrial, "talvex-tci", "00a1b2c3d4e50b02", false},
    {"ATSC (raster)", Family::Atsc, "talvex-atsc", "00a1b2c3d4e50b03", false},
};

constexpr const char* kStartFile =
    "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10744000\n\tPOLARIZATION = HORIZONTAL\n"
    "\tSYMBOL_RATE = 22000000\n\tMODULATION = QPSK\n"
    "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 11623000\n\tPOLARIZATION = VERTICAL\n"
    "\tSYMBOL_RATE = 27500000\n\tMODULATION = QPSK\n";

bool Of(const sky::Multiplex& m, Family family) {
    switch (family) {
    case Family::Satellite: return sky::IsSatellite(m);
    case Family::Terrestrial: return m.system == sky::System::DvbT;
    case Family::Atsc: return sky::IsAtsc(m);
    }
    return false;
}

// Table time of the family's multiplexes: one repetition each (floor), or the Linux
// tool's fixed waits.
double TablesMs(Family family, bool linuxTool) {
    double ms = 0;
    std::set<std::uint16_t> networks;
    for (const sky::Multiplex& m : sky::Multiplexes()) {
        if (!Of(m, family)) continue;
        const double pmts = static_cast<double>(m.services.size());
        if (sky::IsAtsc(m)) {
            ms += linuxTool ? 1000 + 1000 * pmts + 2000 : Repetition::kPatMs + Repetition::kPmtMs * pmts +
                                                              Repetition::kMgtMs + Repetition::kVctMs;
            continue;
        }
        ms += linuxTool ? 1000 + 1000 * pmts + 2000 : Repetition::kPatMs + Repetition::kPmtMs * pmts + Repetition::kSdtMs;
        if (linuxTool) {
            ms += 10000;  // the NIT's wait on every multiplex
        } else if (m.networkId && networks.insert(m.networkId).second) {
            ms += Repetition::kNitMs;
        }
    }
    return ms;
}

// Runs ombrel.exe to its end and returns what it wrote to standard output.
std::string RunOmbrel(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) return {};
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = write;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::string command = "ombrel.exe " + arguments;
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    CloseHandle(write);
    std::string out;
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(read);
    return out;
}

struct Run {
    double scanMs = 0;
    std::size_t tried = 0;
    std::size_t multiplexes = 0;
    std::size_t services = 0;
};

Run Scan(const Case& c, const std::string& startFile) {
    std::string arguments = "scan " + std::string(c.id) + " --json";
    if (c.startFile) arguments += " --from \"" + startFile + "\"";
    const std::string out = RunOmbrel(arguments);
    Run run;
    const std::size_t last = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
    try {
        const auto summary = nlohmann::json::parse(out.substr(last == std::string::npos ? 0 : last + 1));
        run.scanMs = summary.at("seconds").get<double>() * 1000;
        run.tried = summary.at("tried").get<std::size_t>();
        run.multiplexes = summary.at("multiplexes").size();
        run.services = summary.at("service_count").get<std::size_t>();
    } catch (const std::exception& e) {
        std::printf("  no summary from ombrel.exe (%s)\n", e.what());
    }
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    tunersim::Reset();
    tunersim::EnsureFilterRegistered();
    for (const Case& c : kCases) {
        tunersim::DeviceProfile box = tunersim::Preset(c.preset);
        box.id = c.id;
        tunersim::Plug(box, false);
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string startFile = std::string(temp) + "bench_scan_start.conf";
    if (FILE* f = std::fopen(startFile.c_str(), "wb")) {
        std::fputs(kStartFile, f);
        std::fclose(f);
    }

    std::printf("Scan time (median of %d; the scan's own time, without the program's start) against\n"
                "its floor: settle %u ms per candidate tuned; per multiplex PAT %u ms, PMT %u ms each,\n"
                "SDT %u ms (ATSC: MGT %u + VCT %u ms), NIT %u ms once per network; and against a Linux\n"
                "tool's waits (1 s PAT, 1 s per PMT, 2 s SDT, 10 s NIT per multiplex, same settle).\n\n",
                rounds, tunersim::layout::kDefaultSettleMs, Repetition::kPatMs, Repetition::kPmtMs, Repetition::kSdtMs,
                Repetition::kMgtMs, Repetition::kVctMs, Repetition::kNitMs);
    std::printf("%-28s %6s %5s %8s  %-24s %9s %6s  %9s %6s\n", "scan", "tried", "muxes", "services", "time ms (range)",
                "floor ms", "ratio", "linux ms", "ratio");
    bool withinTarget = true;
    for (const Case& c : kCases) {
        std::vector<double> times;
        Run run;
        for (int i = 0; i < rounds; ++i) {
            run = Scan(c, startFile);
            times.push_back(run.scanMs);
        }
        const bench::Spread spread = bench::Summarise(times);
        const double settle = static_cast<double>(run.tried) * tunersim::layout::kDefaultSettleMs;
        const double floor = settle + TablesMs(c.family, false);
        const double linux = settle + TablesMs(c.family, true);
        const double ratio = spread.median / floor;
        withinTarget = withinTarget && ratio <= 1.2;
        std::printf("%-28s %6zu %5zu %8zu  %-24s %9.0f %6.2f  %9.0f %6.2f\n", c.name, run.tried, run.multiplexes,
                    run.services, bench::Describe(spread).c_str(), floor, ratio, linux, spread.median / linux);
    }
    std::printf("\nTarget (at most 1.2x the floor): %s\n", withinTarget ? "met" : "NOT met");
    DeleteFileA(startFile.c_str());
    tunersim::Reset();
    return 0;
}
