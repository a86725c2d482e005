// What 'ombrel keys' reads from its command line and prints: a line (or a JSON object)
// per remote-control key, named by the remote's keymap, and the reasons why a tuner's
// reader could not be started.
#pragma once

#include "CommandLine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

// The results of OB_RemoteControl_Start that ombrel tells apart (the program checks them
// against the header).
namespace remote {
inline constexpr unsigned long kStarted = 0;
inline constexpr unsigned long kAlreadyRunning = 1;  // in this process, or its thread did not start
inline constexpr unsigned long kInUse = 4;            // another process reads the keys
}  // namespace remote

struct KeysArguments {
    bool json = false;
    std::optional<std::uint32_t> count;  // end after this many keys
};
// No value and `error` says why when --count is not a number of keys.
std::optional<KeysArguments> ParseKeysArguments(const Invocation& invocation, std::string& error);

// "Reading the remote control of tuner 2 (Talvex S2) for 3 keys; Ctrl+C ends.", for stderr.
std::string KeysBanner(std::string_view tunerName, std::optional<std::uint32_t> count);

// "14:02:03.125  0x2015  OK": the time, the code, the key's label in the keymap or
// "(unknown key)"; with a line end.
std::string KeyLine(std::uint16_t code, std::string_view clock);
// {"time":"14:02:03.125","code":8213,"hex":"0x2015","key":"ok","label":"OK"} and a line
// end; "key" and "label" are null for a code of no key of the remote.
std::string KeyJson(std::uint16_t code, std::string_view clock);

struct ReaderRefusal {
    int exitCode = 0;
    std::string message;
};
// Why the reader of `tunerName` did not start, for a result other than remote::kStarted.
ReaderRefusal ReaderStartRefusal(unsigned long result, std::string_view tunerName);

}  // namespace ombrel_cli
