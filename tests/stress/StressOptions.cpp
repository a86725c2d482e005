#include "StressOptions.h"

#include <stdexcept>

namespace stress {
namespace {

int Count(const std::string& option, const std::string& text, int low, int high) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high) {
        throw std::invalid_argument(option + " needs a number " + std::to_string(low) + ".." + std::to_string(high) +
                                    ", not \"" + text + "\"");
    }
    return value;
}

double Rate(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double value = -1;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !(value >= 0)) {
        throw std::invalid_argument(option + " needs a number of at least 0, not \"" + text + "\"");
    }
    return value;
}

Run RunNamed(const std::string& name) {
    for (Run run : {Run::Plug, Run::Romflux, Run::Ci, Run::Remote, Run::Worker, Run::Control}) {
        if (name == RunName(run)) return run;
    }
    throw std::invalid_argument("unknown run \"" + name + "\" (plug, romflux, ci, remote, control)");
}

Run StormNamed(const std::string& name) {
    for (Run run : {Run::Plug, Run::Ci, Run::Remote}) {
        if (name == RunName(run)) return run;
    }
    throw std::invalid_argument("unknown storm \"" + name + "\" (plug, ci, remote)");
}

}  // namespace

const char* RunName(Run run) {
    switch (run) {
    case Run::Plug: return "plug";
    case Run::Romflux: return "romflux";
    case Run::Ci: return "ci";
    case Run::Remote: return "remote";
    case Run::Worker: return "worker";
    case Run::Control: return "control";
    }
    return "?";
}

Options ParseOptions(const std::vector<std::string>& arguments) {
    if (arguments.empty()) throw std::invalid_argument("no run named");
    Options options;
    options.run = RunNamed(arguments[0]);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) throw std::invalid_argument(option + " needs a value");
            return arguments[++i];
        };
        if (option == "--cycles") {
            options.cycles = Count(option, value(), 2, 1000000);
        } else if (option == "--tuners") {
            options.tuners = Count(option, value(), 2, 30);
        } else if (option == "--threads") {
            options.threads = Count(option, value(), 0, 64);
        } else if (option == "--hang-seconds") {
            options.hangSeconds = Count(option, value(), 5, 3600);
        } else if (option == "--no-second-process") {
            options.secondProcess = false;
        } else if (option == "--stall-driver") {
            options.stallDriver = true;
        } else if (option == "--broadcast-each") {
            options.broadcastEach = true;
        } else if (option == "--events") {
            options.events = value();
        } else if (option == "--storm") {
            options.storm = StormNamed(value());
        } else if (option == "--max-key-growth") {
            options.maxKeyGrowthPerCycle = Rate(option, value());
        } else {
            throw std::invalid_argument("unknown option " + option);
        }
    }
    if (options.run == Run::Worker && options.events.empty()) throw std::invalid_argument("worker needs --events");
    if (options.storm != Run::Plug && options.run != Run::Worker && options.run != Run::Control) {
        throw std::invalid_argument("--storm is for the control run and the second process");
    }
    return options;
}

std::string Usage() {
    return "usage: ombrel_stress plug|romflux|ci|remote [options]\n"
           "       ombrel_stress_control control [--storm plug|ci|remote] [options]\n"
           "  --cycles N           cycles: plug (unplug and replug every tuner), ci (insert, ready\n"
           "                       and remove every module), remote (a burst of keys on every\n"
           "                       tuner); default 1000\n"
           "  --tuners N           simulated tuners, default 8: plug and romflux a third WDM,\n"
           "                       a third BDA, a third both; ci and remote one model each\n"
           "  --threads N          worker threads per process, default 4\n"
           "  --no-second-process  no second process doing the same work\n"
           "  --broadcast-each     broadcast after every plug and unplug (default: twice a cycle)\n"
           "  --hang-seconds S     a thread without progress this long is a hang, default 120\n"
           "  --max-key-growth R   fail when this process's key handles grow more than R a cycle\n";
}

}  // namespace stress
