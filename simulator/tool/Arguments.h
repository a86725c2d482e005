// Command-line arguments of tunersim: options, numbers, versions, faults, scripts.
#pragma once

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

// Throws Error for an unknown option or an option without its value.
Arguments ParseArguments(const std::vector<std::string>& words);

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
