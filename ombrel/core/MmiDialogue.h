// The module's menus on the console: how 'ombrel ci menu' shows an MMI object (menu,
// list, enquiry or text, as the CI companion reads it), what it asks, and how a typed or
// scripted answer becomes the reply to the module.
#pragma once

#include "MmiScreen.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

using companion::ci::MmiKind;
using companion::ci::MmiScreen;
using companion::ci::ReadMmiScreen;

struct MmiReply {
    enum class Kind { Close, Choice, Answer };
    Kind kind = Kind::Close;
    std::uint8_t choice = 0;  // Choice: 1 for the first entry, 0 to go back
    std::string text;         // Answer: the enquiry's answer
};

// The object's lines after an empty line: title, subtitle, the entries (numbered in a
// menu), the bottom text; an enquiry's text and what it expects. Texts are the module's,
// with the DVB character-table selector dropped and control characters made spaces.
std::string MmiScreenText(const MmiScreen& screen);
// The question that follows, without a line end: "Choice [1-4, 0 back, q close]: ".
std::string MmiPrompt(const MmiScreen& screen);
// What completes the prompt's line when no console echoed the answer: the answer, or
// "(hidden)" for a blind enquiry; with a line end.
std::string MmiEcho(const MmiScreen& screen, std::string_view input);

// The reply to `screen` for what was typed: an empty answer or "q" closes the menu; a
// menu takes the number of an entry or 0, a list or text only 0, an enquiry any text of
// up to 255 bytes. No value and `error` says why for anything else.
std::optional<MmiReply> ReadMmiReply(const MmiScreen& screen, std::string_view input, std::string& error);

// "the module sent an object that ombrel cannot show (tag 0x9F8801, 12 bytes)".
std::string UnreadableObjectText(std::uint32_t tag, std::size_t bodyLength);

// A text of the module for the console, as MmiScreenText shows it.
std::string ModuleText(std::string_view text);

}  // namespace ombrel_cli
