// ombrel_stress: plug storms against the library, with or without Romflux beside
// them, and Common Interface sessions and remote-control readers under a module storm
// or a key stream; prints its figures and exits with 0 when the run passed, 1 when it found a
// fault, 2 for bad arguments and 3 for a hang (see scripts/stress.sh).
#include <windows.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "LibraryRun.h"
#include "SessionRun.h"
#include "StressOptions.h"

int main(int argc, char** argv) {
    stress::Options options;
    try {
        options = stress::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.run == stress::Run::Control) throw std::invalid_argument("the control run is ombrel_stress_control's");
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "ombrel_stress: %s\n%s", e.what(), stress::Usage().c_str());
        return 2;
    }
    try {
        const bool sessions = options.run == stress::Run::Ci || options.run == stress::Run::Remote;
        if (options.run == stress::Run::Worker) {
            const bool sessionWorker = options.storm == stress::Run::Ci || options.storm == stress::Run::Remote;
            return sessionWorker ? stress::RunSessionSecondProcess(options) : stress::RunSecondProcess(options);
        }
        return sessions ? stress::RunSessionStorm(options) : stress::RunLibraryStorm(options);
    } catch (const std::exception& e) {
        std::printf("FAULT: %s\nstress %s: FAILED\n", e.what(), stress::RunName(options.run));
        return 1;
    }
}
