#include "Utf8.h"

namespace tunersim::stream::psi {

Utf8Char NextUtf8Char(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(pos);
    const Utf8Char invalid{0xFFFD, 1, false};
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return invalid;  // a continuation byte or 0xF8..0xFF where a character should begin
    }
    if (text.size() - pos < length) return invalid;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned next = byte(pos + i);
        if ((next & 0xC0) != 0x80) return invalid;
        value = value << 6 | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return invalid;
    return {value, length, true};
}

}  // namespace tunersim::stream::psi
