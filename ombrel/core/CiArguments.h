// What 'ombrel ci' is asked to do: the action after the tuner, and its options, read
// from the command line before any tuner is touched.
#pragma once

#include "CommandLine.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ombrel_cli {

enum class CiAction { Status, Info, Menu };

struct CiArguments {
    CiAction action = CiAction::Status;
    bool json = false;
    // How long info and menu wait for the module to become ready.
    std::chrono::milliseconds timeout{10000};
    // --answers: each entry answers the next menu, list or enquiry; "q" closes the menu.
    std::optional<std::vector<std::string>> answers;
};

// No value and `error` says why for an unknown action, an option that the action does
// not take, or a value that cannot be read.
std::optional<CiArguments> ParseCiArguments(const Invocation& invocation, std::string& error);

// "2,1,1234,0": the entries in order. Refused: an empty list or entry (an empty answer
// would close the menu, which "q" says plainly), and "q" before the last entry.
std::optional<std::vector<std::string>> ParseAnswerList(std::string_view text, std::string& error);

std::string_view CiActionText(CiAction action);  // "status", "info", "menu"

}  // namespace ombrel_cli
