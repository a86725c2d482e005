// Command-line arguments of tunersim, read by CLI11: the command, its positional
// arguments and options; and the values in them: numbers, versions, faults, scripts, keys.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "TunerSimControl.h"

namespace tunersim {

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // "--name value" or flag -> ""
    bool Has(const std::string& name) const { return options.count(name) != 0; }
};

// What a command takes besides its positional arguments: options with a value and flags,
// by their names without "--". A new command is a row of these and a handler.
struct CommandSyntax {
    std::string name;
    std::vector<std::string> valueOptions = {};
    std::vector<std::string> flags = {};
};

// A command line that asks for what tunersim does not do (exit code 2); `command` is the
// command it belongs to, if known.
struct UsageError : Error {
    UsageError(const std::string& message, std::string commandName = {}) : Error(message), command(std::move(commandName)) {}
    std::string command;
};

struct CommandLine {
    bool help = false;  // --help or -h: the usage
    std::string command;
    Arguments arguments;
};

// Reads the words after the program's name against the commands. Throws UsageError for no
// command, an unknown command or option, or an option without its value; the message
// names the command when there is one.
CommandLine ParseCommandLine(const std::vector<std::string>& words, std::span<const CommandSyntax> commands);

// plug's options, which ProfileFromOptions reads.
CommandSyntax PlugSyntax();

// A box named by its id as tunersim shows it or by its GUID as ombrel shows it (the id's
// eight bytes in the other order), "0x" allowed: the box's id. A text that `known` knows
// in neither form comes back as it is, for the control library to refuse as an unknown
// device once the command's other arguments have been read.
std::string BoxId(const std::string& text, const std::function<bool(const std::string&)>& known);
// Both forms, for the message about an unknown device.
std::string_view BoxForms();

// Decimal or 0x-prefixed hexadecimal, within 0..max.
uint32_t ParseUnsigned(const std::string& text, uint32_t max, const char* what);
template <typename T>
T ParseNumber(const std::string& text, const char* what) {
    return static_cast<T>(ParseUnsigned(text, std::numeric_limits<T>::max(), what));
}

std::array<uint8_t, 3> ParseVersion(const std::string& text);  // "A.B.C"
Direction ParseDirection(const std::string& text);              // get | set
Fault ParseFault(const std::string& text);                      // fail | false | short:N | ...
UpdateScript ParseScript(const std::string& text);              // none | fail:P:C[:S] | ...
// A key of the remote by its name ("ok", "vol+", "5") or a code in hexadecimal (0x0..0xFFFF).
uint16_t ParseKey(const std::string& text);

// The DeviceProfile that plug's options describe.
DeviceProfile ProfileFromOptions(const Arguments& args);

// "9F8803 05 48656C6C6F": pairs of hex digits, spaces and colons between them allowed.
std::vector<uint8_t> ParseHexBytes(const std::string& text);

}  // namespace tunersim
