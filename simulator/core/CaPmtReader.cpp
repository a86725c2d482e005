#include "CaPmtReader.h"

#include <algorithm>

namespace tunersim::ca {
namespace {

constexpr uint8_t kPmtTable = 0x02;
constexpr uint8_t kCaDescriptor = 0x09;

uint16_t Be12(const uint8_t* p) { return static_cast<uint16_t>((p[0] & 0x0F) << 8 | p[1]); }

// Walks a descriptor loop; false when a descriptor runs past the loop.
bool ReadDescriptors(std::span<const uint8_t> loop, std::vector<uint16_t>& caSystems) {
    std::size_t i = 0;
    while (i < loop.size()) {
        if (loop.size() - i < 2) return false;
        const uint8_t tag = loop[i];
        const std::size_t length = loop[i + 1];
        if (loop.size() - i - 2 < length) return false;
        if (tag == kCaDescriptor && length >= 4)
            caSystems.push_back(static_cast<uint16_t>(loop[i + 2] << 8 | loop[i + 3]));
        i += 2 + length;
    }
    return true;
}

}  // namespace

std::optional<PmtSummary> ReadPmtSection(std::span<const uint8_t> s) {
    if (s.size() < 5 || s[0] != kPmtTable) return std::nullopt;
    PmtSummary pmt;
    pmt.program = static_cast<uint16_t>(s[3] << 8 | s[4]);
    // Header (3) + section_length bytes; the body ends 4 bytes before for the CRC.
    const std::size_t sectionEnd = 3 + static_cast<std::size_t>(Be12(s.data() + 1));
    if (s.size() < 12 || sectionEnd > s.size() || sectionEnd < 12 + 4) return pmt;
    const std::size_t bodyEnd = sectionEnd - 4;
    const std::size_t programInfoLength = Be12(s.data() + 10);
    if (12 + programInfoLength > bodyEnd) return pmt;
    std::vector<uint16_t> found;
    if (!ReadDescriptors(s.subspan(12, programInfoLength), found)) return pmt;
    std::size_t i = 12 + programInfoLength;
    while (i < bodyEnd) {
        if (bodyEnd - i < 5) return pmt;
        const std::size_t esInfoLength = Be12(s.data() + i + 3);
        if (bodyEnd - i - 5 < esInfoLength) return pmt;
        if (!ReadDescriptors(s.subspan(i + 5, esInfoLength), found)) return pmt;
        i += 5 + esInfoLength;
    }
    pmt.caSystems = std::move(found);
    pmt.complete = true;
    return pmt;
}

bool Names(const PmtSummary& pmt, uint16_t caSystem) {
    return std::find(pmt.caSystems.begin(), pmt.caSystems.end(), caSystem) != pmt.caSystems.end();
}

}  // namespace tunersim::ca
