// Reads what the conditional-access module needs of a PMT section handed to it in a CA
// PMT: the program, and which CA systems its CA descriptors name (program level or any
// elementary stream). Bytes from the host are untrusted: every length is checked against
// what was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tunersim::ca {

struct PmtSummary {
    uint16_t program = 0;
    // The CA systems named, in order of appearance; empty when the descriptor loops are
    // absent, cut short or malformed (the module then cannot descramble the program).
    std::vector<uint16_t> caSystems;
    bool complete = false;  // the section's loops were whole and consistent
};

// Nothing when the bytes are not the start of a PMT section (table 0x02, 5 bytes at least).
std::optional<PmtSummary> ReadPmtSection(std::span<const uint8_t> section);

bool Names(const PmtSummary& pmt, uint16_t caSystem);

}  // namespace tunersim::ca
