// An MMI object of the module as the companion shows it: a menu, a list, an enquiry or
// a text, read from the object's tag and body (plain C++).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace companion::ci {

enum class MmiKind { Menu, List, Enquiry, Text, Unreadable };

struct MmiScreen {
    MmiKind kind = MmiKind::Unreadable;
    std::uint32_t tag = 0;
    std::string title;     // an enquiry's prompt, a text's text
    std::string subtitle;
    std::string bottom;
    std::vector<std::string> entries;
    bool blind = false;            // enquiry: the answer is not to be shown
    std::uint8_t answerLength = 0; // enquiry: expected length, 0 unknown
};

// menu_last (9F8809) and list_last (9F880C) with their text objects, enq (9F8807),
// text_last (9F8803). A body that breaks off, or any other tag, is Unreadable.
MmiScreen ReadMmiScreen(std::uint32_t tag, std::span<const std::uint8_t> body);

}  // namespace companion::ci
