#include "DvbCharsets.h"

#include "DvbCharsetTables.h"

namespace tunersim::stream::psi {
namespace {

// The ISO/IEC 8859 part of a one-byte table; 0 for the default table (ASCII only here).
int PartOf(sky::TextTable table) {
    switch (table) {
    case sky::TextTable::Iso8859_5: return 5;
    case sky::TextTable::Iso8859_7: return 7;
    case sky::TextTable::Iso8859_9: return 9;
    case sky::TextTable::Iso8859_15: return 15;
    default: return 0;
    }
}

}  // namespace

std::optional<uint8_t> DvbTextSelector(sky::TextTable table) {
    switch (table) {
    case sky::TextTable::Default: return std::nullopt;
    case sky::TextTable::Iso8859_5: return 0x01;
    case sky::TextTable::Iso8859_7: return 0x03;
    case sky::TextTable::Iso8859_9: return 0x05;
    case sky::TextTable::Iso8859_15: return 0x0B;
    case sky::TextTable::Utf8: return 0x15;
    }
    return std::nullopt;
}

std::optional<uint8_t> OneByteCode(sky::TextTable table, char32_t c) {
    if (c >= 0x20 && c < 0x7F) return static_cast<uint8_t>(c);
    const int part = PartOf(table);
    if (part == 0) return std::nullopt;
    return talvex::tables::Iso8859Byte(part, c);
}

}  // namespace tunersim::stream::psi
