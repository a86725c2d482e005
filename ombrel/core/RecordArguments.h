// What 'ombrel services' and 'ombrel record' are asked to do, read from the command line
// before any tuner is touched.
#pragma once

#include "CommandLine.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

struct ServicesArguments {
    std::chrono::milliseconds timeout{10000};
    bool json = false;
};
std::optional<ServicesArguments> ParseServicesArguments(const Invocation& invocation, std::string& error);

// --service as given: a number is taken as a service id first, then as a name.
struct ServiceChoice {
    std::string text;
    std::optional<std::uint16_t> id;
};
ServiceChoice ParseServiceChoice(std::string_view text);

struct RecordArguments {
    std::string out;
    std::optional<ServiceChoice> service;
    std::optional<std::chrono::milliseconds> duration;  // none: until Ctrl+C
    bool requireClear = false;
    std::optional<std::string> channel;   // with channelsFile
    std::optional<std::string> channelsFile;
    std::chrono::milliseconds timeout{10000};
};
std::optional<RecordArguments> ParseRecordArguments(const Invocation& invocation, std::string& error);

// A recording's length: seconds with up to three decimals, above 0 and at most a day.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text, std::string& error);

}  // namespace ombrel_cli
